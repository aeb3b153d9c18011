#include "query/e2_serial.h"

#include "query/command_lines.h"
#include "query/e2_report.h"
#include "query/report_file.h"
#include "query/shell.h"
#include "run/console.h"
#include "run/run_state.h"
#include "run/seams.h"

namespace dumplog {

void e2_serial(RunState& state, Seams& seams) {
    const std::string Sstr = e2_query_command(state.pgm, state.devInfo);
    seams.console.MsgOut(Sstr);
    seams.shell.run(Sstr);

    for (const auto& line : read_report_lines("E2.txt"))
        if (is_e2_serial_line(line)) state.DriveSN = e2_serial_from_line(line);
}

}  // namespace dumplog
