#include "query/model_report.h"

#include <vector>

#include "query/text.h"
#include "run/run_error.h"

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

bool is_model_line(const std::string& line) { return line.rfind("0000", 0) == 0; }

std::string model_from_line(const std::string& line) {
    const std::vector<std::string> getString = dump_row_fields(line);

    const long n = static_cast<long>(getString.size());
    const std::string& ModelName1 = field_at(getString, n - 4);
    const std::string& ModelName2 = field_at(getString, n - 3);
    std::string ModelName = ModelName1 + ModelName2;
    if (ModelName.empty()) ModelName = "NULL";
    return strip_ws(ModelName);
}

}  // namespace dumplog
