#pragma once
// The variables that carry information from one phase of a run to the next.
// Working storage of a single phase (Sstr, line, getString, i, p, ...) lives
// in that phase as locals.
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "run/run_error.h"

namespace dumplog {

/// A descriptor of the working folder holding its lock; closing it at the
/// end of the run releases the lock.
class FolderLock {
public:
    FolderLock() = default;
    explicit FolderLock(int fd) : fd_(fd) {}
    FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FolderLock& operator=(FolderLock&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

struct RunState {
    FolderLock workdir;                  ///< the working folder, locked by start-up
    std::string pgm;                     ///< vendor tool path, e.g. "./Zerbo/zerbo64"
    std::vector<std::string> devInfo;    ///< [device path, MegaRAID port id, ...]
    std::string ModelName;               ///< model identification from the drive
    std::optional<std::string> DriveSN;  ///< "SN" + serial; unset until a report gives it
};

/// The family test: the two model identifications whose save log can be read.
inline bool is_family_drive(const std::string& ModelName) { return ModelName == "QLX22581" || ModelName == "QLX22582"; }

/// DriveSN, or the "not defined" error when no report has given it yet.
inline const std::string& defined_DriveSN(const RunState& state) {
    if (!state.DriveSN) throw RunError("name 'DriveSN' is not defined");
    return *state.DriveSN;
}

}  // namespace dumplog
