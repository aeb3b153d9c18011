#include "query/e2_serial.h"

#include "query/command_lines.h"
#include "query/shell.h"
#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_state.h"

namespace dumplog {

bool is_e2_serial_line(const std::string& line) { return line.starts_with("04C0"); }

std::string e2_serial_from_line(const std::string& line) {
    std::string DriveSN = dump_row_fields(line).back();
    if (DriveSN.empty()) DriveSN = "0000";
    DriveSN = strip_ws(DriveSN);
    return upper_ascii("SN" + DriveSN);
}

void read_e2_serial(RunState& state, Host& host) {
    const std::string Sstr = e2_query_command(state.pgm, state.devInfo);
    host.console.MsgOut(Sstr);
    host.shell.run(Sstr, vendor_writes("E2.txt"));

    for (const auto& line : read_report_lines("E2.txt"))
        if (is_e2_serial_line(line)) state.DriveSN = e2_serial_from_line(line);
}

}  // namespace dumplog
