#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// The serial comes from the drive's own reports and names a folder that is
/// removed, a path given to the vendor tool and words of shell commands run
/// as root: only ASCII letters, digits, ".", "_", "+" and "-" are let through.
bool is_safe_serial(const std::string& DriveSN);

/// Makes a fresh, empty folder "./" + DriveSN, removing one left by an
/// earlier run. A serial unfit for a path is refused before anything happens.
void make_output_folder(RunState& state, Host& host);

}  // namespace dumplog
