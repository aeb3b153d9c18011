#pragma once
// File steps of the collection. Every refusal of the file system throws
// RunError naming the path and the system's reason.
#include <string>
#include <sys/types.h>

namespace dumplog {

/// A regular file, or a symbolic link to one.
bool is_regular_file(const std::string& path);
/// A directory, or a symbolic link to one.
bool is_directory(const std::string& path);

void delete_file(const std::string& path);
/// Deletes the file when it is a regular one; anything else is left alone.
inline void delete_if_present(const std::string& path) {
    if (is_regular_file(path)) delete_file(path);
}
/// Renames within the working folder, replacing a file of the target name.
void rename_file(const std::string& from, const std::string& to);
/// Moves `file` into `folder` under its own name. Never replaces an entry
/// already there; across file systems it copies (times and mode) and deletes.
void move_into_folder(const std::string& file, const std::string& folder);
/// Moves the file when it is a regular one; anything else is left alone.
inline void move_if_present(const std::string& file, const std::string& folder) {
    if (is_regular_file(file)) move_into_folder(file, folder);
}

/// Removes a folder and everything in it; links inside are removed as links.
/// Refuses a path that is itself a symbolic link.
void remove_folder_tree(const std::string& path);
/// Creates one folder level with exactly `mode`, whatever the umask.
void make_folder(const std::string& path, mode_t mode);

}  // namespace dumplog
