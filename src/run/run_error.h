#pragma once
// The one error type of a run. A phase throws it with the reason; the phase
// walker fills in the step when the phase left it empty; the process entry
// turns it into the error report on stderr and exit status 1.
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace dumplog {

class RunError : public std::runtime_error {
public:
    explicit RunError(std::string reason) : RunError({}, std::move(reason)) {}
    RunError(std::string step, std::string reason)
        : std::runtime_error(reason), step_(std::move(step)), reason_(std::move(reason)) {}

    const std::string& step() const { return step_; }
    const std::string& reason() const { return reason_; }
    void set_step(std::string step) { step_ = std::move(step); }

private:
    std::string step_;
    std::string reason_;
};

/// Reason text for a failed system call: "what: strerror(errno_value)".
inline std::string system_reason(const std::string& what, int errno_value) {
    return what + ": " + std::strerror(errno_value);
}

/// The errno a failed stream call left, or EIO when it left none.
inline int stream_errno(int saved_errno) { return saved_errno != 0 ? saved_errno : EIO; }

}  // namespace dumplog
