#include "query/model_check.h"

#include <vector>

#include "query/command_lines.h"
#include "query/shell.h"
#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"

namespace dumplog {
namespace {

// Field at a position that may count from the end, as the report layout
// allows for short lines.
const std::string& field_at(const std::vector<std::string>& fields, long index) {
    const long n = static_cast<long>(fields.size());
    const long at = index < 0 ? index + n : index;
    if (at < 0 || at >= n)
        throw RunError("identification line in CheckModel.txt has too few fields (" + std::to_string(n) +
                       "): list index out of range");
    return fields[static_cast<std::size_t>(at)];
}

}  // namespace

bool is_model_line(const std::string& line) { return line.starts_with("0000"); }

std::string model_from_line(const std::string& line) {
    const std::vector<std::string> getString = dump_row_fields(line);
    const long n = static_cast<long>(getString.size());
    const std::string& ModelName1 = field_at(getString, n - 4);
    const std::string& ModelName2 = field_at(getString, n - 3);
    std::string ModelName = ModelName1 + ModelName2;
    if (ModelName.empty()) ModelName = "NULL";
    return strip_ws(ModelName);
}

void check_model(RunState& state, Host& host) {
    const std::string Sstr = model_query_command(state.pgm, state.devInfo);
    host.console.MsgOut(Sstr);
    host.shell.run(Sstr, vendor_writes("CheckModel.txt"));

    const auto lines = read_report_lines("CheckModel.txt");
    state.ModelName.clear();
    for (const auto& line : lines) {
        if (!is_model_line(line)) continue;
        state.ModelName = model_from_line(line);
        host.console.MsgOut("ModelName:" + state.ModelName);
    }
}

}  // namespace dumplog
