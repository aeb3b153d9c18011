#include "query/model_check.h"

#include "query/command_lines.h"
#include "query/model_report.h"
#include "query/report_file.h"
#include "query/shell.h"
#include "run/console.h"
#include "run/run_state.h"
#include "run/seams.h"

namespace dumplog {

void model_check(RunState& state, Seams& seams) {
    const std::string Sstr = model_query_command(state.pgm, state.devInfo);
    seams.console.MsgOut(Sstr);
    seams.shell.run(Sstr);

    const auto lines = read_report_lines("CheckModel.txt");
    state.ModelName.clear();
    for (const auto& line : lines) {
        if (!is_model_line(line)) continue;
        state.ModelName = model_from_line(line);
        seams.console.MsgOut("ModelName:" + state.ModelName);
    }
}

}  // namespace dumplog
