#include "savelog/file_ops.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "run/run_error.h"

namespace dumplog {
namespace fs = std::filesystem;
namespace {

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// rename(2) without replacing the target. Falls back to a test and a rename
// on file systems that do not know the flag; the tool is alone in its folder.
int rename_no_replace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}

void copy_then_delete(const std::string& from, const std::string& to) {
    struct stat st;
    if (stat(from.c_str(), &st) != 0) throw RunError(system_reason("cannot move " + from, errno));
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::none, ec))
        throw RunError("cannot copy " + from + " to " + to + ": " + ec.message());
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (chmod(to.c_str(), st.st_mode & 07777) != 0 || utimensat(AT_FDCWD, to.c_str(), times, 0) != 0)
        throw RunError(system_reason("cannot keep the mode and times of " + to, errno));
    delete_file(from);
}

}  // namespace

bool is_regular_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void delete_file(const std::string& path) {
    if (unlink(path.c_str()) != 0) throw RunError(system_reason("cannot delete " + path, errno));
}

void rename_file(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw RunError(system_reason("cannot rename " + from + " to " + to, errno));
}

void move_into_folder(const std::string& file, const std::string& folder) {
    const std::string target = folder + "/" + base_name(file);
    if (rename_no_replace(file, target) == 0) return;
    if (errno == EXDEV) {
        struct stat st;
        if (lstat(target.c_str(), &st) == 0)
            throw RunError(system_reason("cannot move " + file + " into " + folder, EEXIST));
        copy_then_delete(file, target);
        return;
    }
    throw RunError(system_reason("cannot move " + file + " into " + folder, errno));
}

void remove_folder_tree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) throw RunError(system_reason("cannot remove " + path, errno));
    if (S_ISLNK(st.st_mode))
        throw RunError("cannot remove " + path +
                       ": it is a symbolic link to a folder; nothing was removed (remove the link by hand)");
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) throw RunError("cannot remove " + path + ": " + ec.message());
}

void make_folder(const std::string& path, mode_t mode) {
    if (mkdir(path.c_str(), mode) != 0) throw RunError(system_reason("cannot make " + path, errno));
    // The umask may take bits away, and a umask of 0 would leave more.
    if (chmod(path.c_str(), mode) != 0) throw RunError(system_reason("cannot set the mode of " + path, errno));
}

}  // namespace dumplog
