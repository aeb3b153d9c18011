#include "run/drive_selection.h"

#include "query/command_lines.h"
#include "query/shell.h"
#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"

namespace dumplog {

const char* const kSelectionHelp[4] = {
    "if Megarid disk,Please intput Device Path and Port ID:",
    "-->For example: /dev/sda 8:",
    "if none Megarid disk,Please intput Device Path:",
    "-->For example: /dev/sdc:",
};

std::vector<std::string> split_typed_line(const std::string& Sstr) {
    std::vector<std::string> fields;
    for (auto& field : split_at(strip_ws(Sstr), ' '))
        if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

std::string list_literal(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) out += ", ";
        out += quoted_literal(items[k]);
    }
    return out + "]";
}

void select_drive(RunState& state, Host& host, const std::vector<std::string>& args) {
    Console& console = host.console;
    if (args.size() >= 2) {
        console.plain(args[0]);
        state.devInfo = {args[0], args[1]};
        return;
    }

    const std::string listing = listing_command(state.pgm);
    console.plain(listing);
    host.shell.run(listing, {"DriveInfo.txt"});
    for (const char* line : kSelectionHelp) console.plain(line);

    // Read no further than a command line can hold: every command with a
    // longer line in it would be refused anyway, and the rest could be
    // anything of any length.
    const auto typed = console.prompt_line(kLongestCommandLine);
    if (!typed) throw RunError("end of input while waiting for the drive path");
    if (typed->size() > kLongestCommandLine)
        throw RunError(
            "typed line of more than " + std::to_string(kLongestCommandLine) +
            " bytes is longer than the shell can receive; the rest was not read and no command was run with it: " +
            shown_line(*typed));
    state.devInfo = split_typed_line(*typed);
    console.plain(list_literal(state.devInfo));
}

}  // namespace dumplog
