#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// "chmod 777 -R ./SN.../"
std::string folder_permissions_command(const std::string& DriveSN);
/// "tar -jcf SN....tar.bz2 SN.../"
std::string archive_command(const std::string& DriveSN);
/// "chmod 777 SN....tar.bz2 " (the line ends with a blank)
std::string archive_permissions_command(const std::string& DriveSN);

/// Moves the reports into the output folder, deletes the scratch files and
/// packs the folder into DriveSN.tar.bz2, which is synced to disk with the
/// working folder before "Dump Log done!!". A failed or interrupted archive
/// command, or a failed sync, ends the run with an error naming the folder
/// instead; the folder stays and the unfinished archive goes.
void pack(RunState& state, Host& host);

}  // namespace dumplog
