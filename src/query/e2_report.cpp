#include "query/e2_report.h"

#include "query/text.h"

namespace dumplog {

bool is_e2_serial_line(const std::string& line) { return line.rfind("04C0", 0) == 0; }

std::string e2_serial_from_line(const std::string& line) {
    std::string DriveSN = dump_row_fields(line).back();
    if (DriveSN.empty()) DriveSN = "0000";
    DriveSN = strip_ws(DriveSN);
    return upper_ascii("SN" + DriveSN);
}

}  // namespace dumplog
