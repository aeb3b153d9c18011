#pragma once
// The one error type of a run. A phase throws it with the reason; the phase
// walker fills in the step when the phase left it empty; the process entry
// turns it into the error report on stderr and exit status 1.
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
std::string system_reason(const std::string& what, int errno_value);

}  // namespace dumplog
