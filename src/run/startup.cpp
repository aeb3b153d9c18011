#include "run/startup.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "query/shell.h"
#include "query/text.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"

namespace dumplog {
namespace {

// The working folder as reports name it: its absolute path, quoted.
std::string shown_working_folder() {
    char path[PATH_MAX];
    return quoted_literal(getcwd(path, sizeof path) ? path : ".");
}

}  // namespace

std::optional<std::string> working_folder_refusal(const std::string& folder, mode_t mode, bool holds_zerbo) {
    if (!holds_zerbo)
        return "refusing to run in " + folder +
               ": it holds no Zerbo folder, so it is not a working folder of the tool (every run gives every file "
               "under its working folder mode 777); change into the folder that holds Zerbo/ and SmartCtl/ and run "
               "dumplog there; nothing was changed";
    if (mode & S_IWOTH) {
        const std::string what_to_do = "make it private with chmod o-w " + folder + " and run again";
        return "refusing to run in " + folder +
               ": it is writable by others, who could plant links there that the run would write through; " +
               what_to_do + "; nothing was changed";
    }
    return std::nullopt;
}

FolderLock lock_working_folder() {
    const std::string shown = shown_working_folder();
    FolderLock folder(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd() < 0) throw RunError(system_reason("cannot open the working folder " + shown, errno));

    struct stat self, zerbo;
    if (fstat(folder.fd(), &self) != 0)
        throw RunError(system_reason("cannot examine the working folder " + shown, errno));
    const bool holds_zerbo = fstatat(folder.fd(), "Zerbo", &zerbo, 0) == 0 && S_ISDIR(zerbo.st_mode);
    if (auto refusal = working_folder_refusal(shown, self.st_mode, holds_zerbo)) throw RunError(*refusal);

    if (flock(folder.fd(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            throw RunError("another run of dumplog is using the working folder " + shown +
                           "; wait for it to end (one run per working folder); nothing was changed");
        throw RunError(system_reason("cannot lock the working folder " + shown, errno));
    }
    return folder;
}

std::string choose_pgm(const std::string& machine) {
    if (machine == "aarch64") return "./Zerbo/zerbo64a";
    if (machine == "x86_64") return "./Zerbo/zerbo64";
    return "./Zerbo/zerbo86";
}

void start_up(RunState& state, Host& host) {
    state.workdir = lock_working_folder();
    host.shell.run(kPermissionSweep);
    state.pgm = choose_pgm(host.machine_name());
}

}  // namespace dumplog
