#pragma once
#include <string>

namespace dumplog {

/// The serial comes from the drive's own reports and names a folder that is
/// removed, a path given to the vendor tool and words of shell commands run
/// as root: only ASCII letters, digits, ".", "_", "+" and "-" are let through.
bool is_safe_serial(const std::string& DriveSN);

/// Throws RunError showing the refused value (non-printable bytes escaped).
void refuse_unsafe_serial(const std::string& DriveSN);

}  // namespace dumplog
