#include "query/smart_serial.h"

#include "query/command_lines.h"
#include "query/shell.h"
#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_state.h"

namespace dumplog {

bool is_smart_serial_line(const std::string& line) {
    static const std::string tail = "erial Number:";
    for (std::size_t at = line.find(tail, 1); at != std::string::npos; at = line.find(tail, at + 1))
        if (!is_ws(line[at - 1])) return true;
    return false;
}

std::string smart_serial_from_line(const std::string& line) {
    const auto getString = split_at(strip_ws(line), ':');
    return "SN" + remove_char(getString.at(1), ' ');
}

std::optional<std::string> smart_serial_from_report(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        if (is_smart_serial_line(line)) return smart_serial_from_line(line);
    return std::nullopt;
}

void read_smart_serial(RunState& state, Host& host) {
    if (!is_family_drive(state.ModelName)) return;

    const std::string Sstr = smart_query_command(host.machine_name(), state.devInfo);
    host.shell.run(Sstr, {"SMARTInfo.txt"});
    host.console.MsgOut(Sstr);  // shown after the command has run

    if (defined_DriveSN(state) != "SN0000") return;
    if (const auto serial = smart_serial_from_report(read_report_lines("SMARTInfo.txt"))) {
        state.DriveSN = *serial;
        host.console.MsgOut("DriveSN:" + *serial);
    }
}

}  // namespace dumplog
