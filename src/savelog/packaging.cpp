#include "savelog/packaging.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "query/shell.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "savelog/file_ops.h"

namespace dumplog {
namespace {

// What identifies the file at a path, to tell whether a command changed it.
struct FileMark {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    static FileMark of(const std::string& path) {
        FileMark mark;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return mark;
        mark = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
        return mark;
    }
    bool same_as(const FileMark& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// Packing did not end well: nothing half-made is left under the archive's
// name, and the report says where the collected files are.
[[noreturn]] void fail_packing(const std::string& DriveSN, const std::string& what, const FileMark& before) {
    const std::string archive = DriveSN + ".tar.bz2";
    std::string reason = "packing failed: " + what;
    if (const std::string signal = pending_interrupt(); !signal.empty()) reason += " (interrupted by " + signal + ")";
    reason += "; the collected files are in ./" + DriveSN;
    const FileMark after = FileMark::of(archive);
    if (after.exists && !after.same_as(before)) {
        try {
            delete_file(archive);
            reason += "; the incomplete " + archive + " was removed";
        } catch (const RunError& error) {
            reason += "; the incomplete archive is left: " + error.reason();
        }
    } else if (after.exists) {
        reason += "; " + archive + " is from an earlier run and was left as it was";
    }
    throw RunError(reason);
}

// Puts the archive and its name in the working folder on disk; what failed,
// or nothing.
std::optional<std::string> sync_failure(Host& host, const std::string& archive, int working_folder) {
    const int fd = open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return system_reason("cannot open " + archive + " to sync it", errno);
    const bool synced = host.sync_to_disk(fd) == 0;
    const int sync_errno = errno;
    close(fd);
    if (!synced) return system_reason("cannot sync " + archive + " to disk", sync_errno);
    if (host.sync_to_disk(working_folder) != 0) return system_reason("cannot sync the working folder to disk", errno);
    return std::nullopt;
}

}  // namespace

std::string folder_permissions_command(const std::string& DriveSN) { return "chmod 777 -R ./" + DriveSN + "/"; }

std::string archive_command(const std::string& DriveSN) { return "tar -jcf " + DriveSN + ".tar.bz2 " + DriveSN + "/"; }

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
    // From here on a signal is judged with the outcome of packing: a tar cut
    // short, or an archive not yet on disk, is a failed packing.
    const std::string archive = DriveSN + ".tar.bz2";
    const FileMark before = FileMark::of(archive);
    const int p = host.shell.run_to_end(archive_command(DriveSN));
    if (p != 0 || !pending_interrupt().empty())
        fail_packing(DriveSN, archive_command(DriveSN) + " " + describe_wait_status(p), before);
    host.shell.run_to_end(archive_permissions_command(DriveSN));
    if (!pending_interrupt().empty()) fail_packing(DriveSN, "the run was stopped before the archive was done", before);
    if (const auto failure = sync_failure(host, archive, state.workdir.fd())) fail_packing(DriveSN, *failure, before);
    host.console.MsgOut("Dump Log done!!");
}

}  // namespace dumplog
