#pragma once
#include <optional>
#include <string>
#include <vector>

namespace dumplog {

struct RunState;
struct Host;

/// True when some non-white-space byte is followed by "erial Number:".
bool is_smart_serial_line(const std::string& line);

/// "SN" + the text between the first and second colon, blanks removed.
std::string smart_serial_from_line(const std::string& line);

/// DriveSN from the first matching line, or nothing when no line matches.
std::optional<std::string> smart_serial_from_report(const std::vector<std::string>& lines);

/// Family drives only: saves the SMART report (SMARTInfo.txt) and, when the
/// E2 page gave "SN0000", takes DriveSN from its first serial line.
void read_smart_serial(RunState& state, Host& host);

}  // namespace dumplog
