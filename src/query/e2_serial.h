#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// An E2 report line counts when it begins with "04C0".
bool is_e2_serial_line(const std::string& line);

/// DriveSN from the 04C0 row: last field after the blank, dash and dot
/// normalisation, "0000" when empty, "SN" in front, upper case.
std::string e2_serial_from_line(const std::string& line);

/// Asks the drive for its E2 page (E2.txt); the last 04C0 row sets DriveSN.
/// Without such a row DriveSN stays unset.
void read_e2_serial(RunState& state, Host& host);

}  // namespace dumplog
