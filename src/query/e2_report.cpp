#include "query/e2_report.h"

#include "query/text.h"

namespace dumplog {

bool is_e2_serial_line(const std::string& line) { return line.rfind("04C0", 0) == 0; }

std::string e2_serial_from_line(const std::string& line) {
    std::string text = strip_ws(line);
    text = halve_blank_pairs(text);
    text = replace_char(text, '-', ' ');
    text = remove_char(text, '.');
    std::string DriveSN = split_at(text, ' ').back();
    if (DriveSN.empty()) DriveSN = "0000";
    DriveSN = strip_ws(DriveSN);
    return upper_ascii("SN" + DriveSN);
}

}  // namespace dumplog
