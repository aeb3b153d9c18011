#pragma once
#include <cstddef>
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// The serial comes from the drive's own reports and names a folder that is
/// removed, a path given to the vendor tool and words of shell commands run
/// as root: only ASCII letters, digits, ".", "_", "+" and "-" are let through.
bool is_safe_serial(const std::string& DriveSN);

/// The archive is first written as DriveSN + ".tar.bz2.part", and a file
/// name holds at most 255 bytes.
inline constexpr std::size_t kLongestDriveSN = 255 - sizeof ".tar.bz2.part" + 1;

/// Makes a fresh, empty folder "./" + DriveSN, removing one left by an
/// earlier run. A serial unfit for a path, or too long to name the archive,
/// is refused before anything happens.
void make_output_folder(RunState& state, Host& host);

}  // namespace dumplog
