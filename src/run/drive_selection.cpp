#include "run/drive_selection.h"

#include "query/command_lines.h"
#include "query/shell.h"
#include "query/text.h"
#include "run/console.h"
#include "run/list_literal.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "run/seams.h"

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

void select_drive(RunState& state, Seams& seams, const std::vector<std::string>& args) {
    Console& console = seams.console;
    if (args.size() >= 2) {
        console.plain(args[0]);
        state.devInfo = {args[0], args[1]};
        return;
    }

    const std::string listing = listing_command(state.pgm);
    console.plain(listing);
    seams.shell.run(listing);
    for (const char* line : kSelectionHelp) console.plain(line);

    const auto typed = console.prompt_line();
    if (!typed) throw RunError("end of input while waiting for the drive path");
    state.devInfo = split_typed_line(*typed);
    console.plain(list_literal(state.devInfo));
}

}  // namespace dumplog
