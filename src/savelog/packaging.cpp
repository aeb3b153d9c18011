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

// "packing failed: WHAT", and the signal that stopped the run if one did.
std::string packing_failure(const std::string& what) {
    std::string reason = "packing failed: " + what;
    if (const std::string signal = pending_interrupt(); !signal.empty()) reason += " (interrupted by " + signal + ")";
    return reason;
}

// Before the rename: the unfinished archive goes, an earlier archive stays as
// it was, and the report says where the collected files are.
[[noreturn]] void fail_packing(const std::string& DriveSN, const std::string& what) {
    const std::string archive = DriveSN + ".tar.bz2", part = archive + ".part";
    std::string reason = packing_failure(what) + "; the collected files are in ./" + DriveSN;
    if (is_regular_file(part)) {
        try {
            delete_file(part);
            reason += "; the incomplete " + part + " was removed";
        } catch (const RunError& error) {
            reason += "; the incomplete archive is left: " + error.reason();
        }
    }
    if (is_regular_file(archive)) reason += "; the earlier " + archive + " was left as it was";
    throw RunError(reason);
}

// After the rename the new archive is whole (tar made it, and it was synced
// under its temporary name), and the earlier one is gone: it stays.
[[noreturn]] void fail_after_rename(const std::string& DriveSN, const std::string& what) {
    throw RunError(packing_failure(what) + "; " + DriveSN +
                   ".tar.bz2 is whole, but its name or mode may not yet be on disk; the collected files are in ./" +
                   DriveSN);
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
    // Left by a killed run (the folder lock says nobody writes it now), or
    // planted: tar would write through a link. A folder is not ours to remove.
    remove_planted(part);
    if (is_directory(part))
        fail_packing(DriveSN, part +
                                  " is a folder where tar would write the archive; it was left as it is (remove it "
                                  "by hand)");
    delete_if_present(part);
    const int p = host.shell.run_to_end(archive_command(DriveSN));
    if (p != 0 || !pending_interrupt().empty())
        fail_packing(DriveSN, archive_command(DriveSN) + " " + describe_wait_status(p));

    const ArchiveDescriptor made(part);
    if (made.fd < 0) fail_packing(DriveSN, system_reason("cannot open " + part + " to sync it", errno));
    if (host.sync_to_disk(made.fd) != 0)
        fail_packing(DriveSN, system_reason("cannot sync " + part + " to disk", errno));
    if (!pending_interrupt().empty()) fail_packing(DriveSN, "the run was stopped before the archive was done");
    try {
        rename_file(part, archive);
    } catch (const RunError& error) {
        fail_packing(DriveSN, error.reason());
    }

    // The archive has its name and is never removed from here on; its mode
    // and the name itself go to disk too before the run says it is done.
    host.shell.run_to_end(archive_permissions_command(DriveSN));
    if (host.sync_to_disk(made.fd) != 0)
        fail_after_rename(DriveSN, system_reason("cannot sync " + archive + " to disk", errno));
    if (host.sync_to_disk(state.workdir.fd()) != 0)
        fail_after_rename(DriveSN, system_reason("cannot sync the working folder to disk", errno));
    if (!pending_interrupt().empty()) fail_after_rename(DriveSN, "the run was stopped before the archive was on disk");
    host.console.MsgOut("Dump Log done!!");
}

}  // namespace dumplog
