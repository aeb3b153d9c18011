#pragma once
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dumplog {

class FolderLock;
struct RunState;
struct Host;

/// Gives every regular file under the working folder mode 777 (the external
/// programs among them); its outcome is not looked at.
inline const char* const kPermissionSweep = "find ./ -type f -exec chmod 777 {} \\;";

/// Why a run must not start in `folder` (its name as shown, its mode, and
/// whether it holds a Zerbo folder), or nothing when it may: the sweep would
/// open every file of a wrong folder, and others could plant links in a
/// folder they can write.
std::optional<std::string> working_folder_refusal(const std::string& folder, mode_t mode, bool holds_zerbo);

/// "held by pid 4242 ('tar', user root) and ...", or that no holder could be named.
std::string lock_holders_text(const std::vector<std::string>& holders);

/// Opens the current folder and checks it; then takes its lock, which no
/// other run can take until the returned descriptor is closed. Throws
/// RunError naming the folder when it is refused or locked.
FolderLock lock_working_folder();

/// Vendor tool path for a uname machine field; exact, case-sensitive match.
std::string choose_pgm(const std::string& machine);

/// First phase of a run: the working folder checked and locked, the
/// permission sweep, then the choice of pgm.
void start_up(RunState& state, Host& host);

}  // namespace dumplog
