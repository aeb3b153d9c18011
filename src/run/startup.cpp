#include "run/startup.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
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

// A process's name as its owner set it, quoted: it may hold any byte but
// NUL, and it goes to root's terminal.
std::string process_name(const std::string& process) {
    std::ifstream in(process + "/comm", std::ios::binary);
    std::string name((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (name.ends_with('\n')) name.pop_back();
    return quoted_literal(name);
}

// The account name of a user id from /etc/passwd (no name service: the
// static build has none), or the number.
std::string user_name(uid_t uid) {
    std::ifstream passwd("/etc/passwd");
    for (std::string line; std::getline(passwd, line);) {
        const auto fields = split_at(line, ':');
        if (fields.size() > 2 && fields[2] == std::to_string(uid)) return fields[0];
    }
    return std::to_string(uid);
}

// Names in a folder; nothing when it cannot be read (a process that ended,
// or one this user may not look into).
std::vector<std::string> entries_of(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

// Every process that holds the flock on the folder, as "pid N (program, user
// U)": /proc/PID/fdinfo shows the lock on each descriptor of the open file
// that took it, in the run that took it and in every command that inherited
// it.
std::vector<std::string> lock_holders(const struct stat& folder) {
    std::vector<std::string> holders;
    for (const std::string& pid : entries_of("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string process = "/proc/" + pid;
        for (const std::string& fd : entries_of(process + "/fd")) {
            struct stat target;
            if (stat((process + "/fd/" + fd).c_str(), &target) != 0 || target.st_dev != folder.st_dev ||
                target.st_ino != folder.st_ino)
                continue;
            std::ifstream info(process + "/fdinfo/" + fd);
            const std::string text((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
            if (text.find(" FLOCK ") == std::string::npos) continue;
            struct stat owner;
            const std::string user = stat(process.c_str(), &owner) == 0 ? user_name(owner.st_uid) : "?";
            holders.push_back("pid " + pid + " (" + process_name(process) + ", user " + user + ")");
            break;
        }
    }
    return holders;
}

}  // namespace

std::string lock_holders_text(const std::vector<std::string>& holders) {
    if (holders.empty()) return "held by a process that could not be named";
    std::string text = "held by " + holders[0];
    for (std::size_t k = 1; k < holders.size(); ++k) text += (k + 1 == holders.size() ? " and " : ", ") + holders[k];
    return text;
}

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
    // No O_CLOEXEC: every command the run starts holds the lock too, so a
    // leftover tar or vendor tool of a killed run keeps the next run out.
    FolderLock folder(open(".", O_RDONLY | O_DIRECTORY));
    if (folder.fd() < 0) throw RunError(system_reason("cannot open the working folder " + shown, errno));

    struct stat self, zerbo;
    if (fstat(folder.fd(), &self) != 0)
        throw RunError(system_reason("cannot examine the working folder " + shown, errno));
    const bool holds_zerbo = fstatat(folder.fd(), "Zerbo", &zerbo, 0) == 0 && S_ISDIR(zerbo.st_mode);
    if (auto refusal = working_folder_refusal(shown, self.st_mode, holds_zerbo)) throw RunError(*refusal);

    if (flock(folder.fd(), LOCK_EX | LOCK_NB) == 0) return folder;
    if (errno != EWOULDBLOCK) throw RunError(system_reason("cannot lock the working folder " + shown, errno));
    const auto holders = lock_holders(self);
    // Nobody found: the last holder may have ended since the first try.
    if (holders.empty() && flock(folder.fd(), LOCK_EX | LOCK_NB) == 0) return folder;
    throw RunError("another run of dumplog is using the working folder " + shown + ", " + lock_holders_text(holders) +
                   "; wait for it to end (one run per working folder); nothing was changed");
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
