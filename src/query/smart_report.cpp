#include "query/smart_report.h"

#include "query/text.h"

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

}  // namespace dumplog
