#include "savelog/packaging.h"

#include <sys/stat.h>

#include "query/shell.h"
#include "run/console.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "run/host.h"
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
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// The archive command failed: nothing half-made is left under the archive's
// name, and the report says where the collected files are.
[[noreturn]] void fail_packing(const std::string& DriveSN, int status, const FileMark& before) {
    const std::string archive = DriveSN + ".tar.bz2";
    std::string reason = "packing failed: " + archive_command(DriveSN) + " " + describe_wait_status(status) +
                         "; the collected files are in ./" + DriveSN;
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

}  // namespace

std::string folder_permissions_command(const std::string& DriveSN) { return "chmod 777 -R ./" + DriveSN + "/"; }

std::string archive_command(const std::string& DriveSN) {
    return "tar -jcf " + DriveSN + ".tar.bz2 " + DriveSN + "/";
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
    const FileMark before = FileMark::of(DriveSN + ".tar.bz2");
    const int p = host.shell.run(archive_command(DriveSN));
    if (p != 0) fail_packing(DriveSN, p, before);
    host.shell.run(archive_permissions_command(DriveSN));
    host.console.MsgOut("Dump Log done!!");
}

}  // namespace dumplog
