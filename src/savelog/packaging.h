#pragma once
#include <string>

namespace dumplog {

struct RunState;
struct Host;

/// "chmod 777 -R ./SN.../"
std::string folder_permissions_command(const std::string& DriveSN);
/// "tar -jcf SN....tar.bz2.part SN.../": tar writes beside the archive
std::string archive_command(const std::string& DriveSN);
/// "chmod 777 SN....tar.bz2 " (the line ends with a blank)
std::string archive_permissions_command(const std::string& DriveSN);

/// Moves the reports into the output folder, deletes the scratch files and
/// packs the folder into DriveSN.tar.bz2.part, which takes the name
/// DriveSN.tar.bz2 only when tar made it whole and it is on disk; the mode
/// and the name are synced too before "Dump Log done!!". A failed or
/// interrupted packing, or a failed sync, ends the run with an error naming
/// the folder instead; the folder stays. Before the rename the unfinished
/// archive goes and an earlier archive is left as it was; after it the new
/// archive is whole and stays.
void pack(RunState& state, Host& host);

}  // namespace dumplog
