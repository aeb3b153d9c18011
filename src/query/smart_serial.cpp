#include "query/smart_serial.h"

#include "query/command_lines.h"
#include "query/report_file.h"
#include "query/shell.h"
#include "query/smart_report.h"
#include "run/console.h"
#include "run/run_state.h"
#include "run/seams.h"

namespace dumplog {

void smart_serial(RunState& state, Seams& seams) {
    if (!is_family_drive(state.ModelName)) return;

    const std::string Sstr = smart_query_command(seams.machine_name(), state.devInfo);
    seams.shell.run(Sstr);
    seams.console.MsgOut(Sstr);  // shown after the command has run

    if (defined_DriveSN(state) != "SN0000") return;
    if (const auto serial = smart_serial_from_report(read_report_lines("SMARTInfo.txt"))) {
        state.DriveSN = *serial;
        seams.console.MsgOut("DriveSN:" + *serial);
    }
}

}  // namespace dumplog
