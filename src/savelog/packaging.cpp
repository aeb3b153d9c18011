#include "savelog/packaging.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "query/shell.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "savelog/file_ops.h"

namespace dumplog {
namespace {

// Packing did not end well: the unfinished archive goes, an earlier archive
// stays as it was, and the report says where the collected files are.
[[noreturn]] void fail_packing(const std::string& DriveSN, const std::string& what, const std::string& unfinished) {
    const std::string archive = DriveSN + ".tar.bz2";
    std::string reason = "packing failed: " + what;
    if (const std::string signal = pending_interrupt(); !signal.empty()) reason += " (interrupted by " + signal + ")";
    reason += "; the collected files are in ./" + DriveSN;
    if (is_regular_file(unfinished)) {
        try {
            delete_file(unfinished);
            reason += "; the incomplete " + unfinished + " was removed";
        } catch (const RunError& error) {
            reason += "; the incomplete archive is left: " + error.reason();
        }
    }
    if (unfinished != archive && is_regular_file(archive)) reason += "; the earlier " + archive + " was left as it was";
    throw RunError(reason);
}

// An open descriptor of the new archive; it follows the file through its rename.
struct ArchiveDescriptor {
    explicit ArchiveDescriptor(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ArchiveDescriptor() {
        if (fd >= 0) close(fd);
    }
    const int fd;
};

}  // namespace

std::string folder_permissions_command(const std::string& DriveSN) { return "chmod 777 -R ./" + DriveSN + "/"; }

std::string archive_command(const std::string& DriveSN) {
    return "tar -jcf " + DriveSN + ".tar.bz2.part " + DriveSN + "/";
}

std::string archive_permissions_command(const std::string& DriveSN) { return "chmod 777 " + DriveSN + ".tar.bz2 "; }

void pack(RunState& state, Host& host) {
    const std::string& DriveSN = defined_DriveSN(state);
    const std::string folder = "./" + DriveSN;

    if (is_regular_file("./in.txt")) rename_file("in.txt", "SavelogInfo.txt");
    delete_if_present(folder + "/SavelogInfo.txt");
    move_if_present("./SavelogInfo.txt", folder);
    delete_if_present("./log.txt");
    move_if_present("./CheckModel.txt", folder);
    move_if_present("./E2.txt", folder);
    move_if_present("./SMARTInfo.txt", folder);
    delete_if_present("./tmp.txt");
    host.shell.run(folder_permissions_command(DriveSN));
    delete_if_present("out.bin");
    delete_if_present("DriveInfo.txt");

    host.console.MsgOut("tar file... please wait about 1 minute");
    // tar writes beside the archive, and only a whole file synced to disk
    // takes the archive's name: a run cut short at any moment leaves the
    // earlier archive or the new one. From here on a signal is judged with
    // the outcome of packing.
    const std::string archive = DriveSN + ".tar.bz2";
    const std::string part = archive + ".part";
    delete_if_present(part);  // left by a killed run; the folder lock says nobody writes it now
    const int p = host.shell.run_to_end(archive_command(DriveSN));
    if (p != 0 || !pending_interrupt().empty())
        fail_packing(DriveSN, archive_command(DriveSN) + " " + describe_wait_status(p), part);

    const ArchiveDescriptor made(part);
    if (made.fd < 0) fail_packing(DriveSN, system_reason("cannot open " + part + " to sync it", errno), part);
    if (host.sync_to_disk(made.fd) != 0)
        fail_packing(DriveSN, system_reason("cannot sync " + part + " to disk", errno), part);
    if (!pending_interrupt().empty()) fail_packing(DriveSN, "the run was stopped before the archive was done", part);
    try {
        rename_file(part, archive);
    } catch (const RunError& error) {
        fail_packing(DriveSN, error.reason(), part);
    }

    // The archive has its name; its mode and the name itself go to disk too
    // before the run says it is done.
    host.shell.run_to_end(archive_permissions_command(DriveSN));
    if (host.sync_to_disk(made.fd) != 0)
        fail_packing(DriveSN, system_reason("cannot sync " + archive + " to disk", errno), archive);
    if (host.sync_to_disk(state.workdir.fd()) != 0)
        fail_packing(DriveSN, system_reason("cannot sync the working folder to disk", errno), archive);
    if (!pending_interrupt().empty()) fail_packing(DriveSN, "the run was stopped before the archive was done", archive);
    host.console.MsgOut("Dump Log done!!");
}

}  // namespace dumplog
