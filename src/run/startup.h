#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// Gives every regular file under the working folder mode 777 (the external
/// programs among them); its outcome is not looked at.
inline const char* const kPermissionSweep = "find ./ -type f -exec chmod 777 {} \\;";

/// Vendor tool path for a uname machine field; exact, case-sensitive match.
std::string choose_pgm(const std::string& machine);

/// First phase of a run: the permission sweep, then the choice of pgm.
void start_up(RunState& state, Host& host);

}  // namespace dumplog
