// The one way the simulator reports a failure: a message for stderr and the
// exit status the process ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace dumplog::sim {

class SimError : public std::runtime_error {
public:
    SimError(int exit_status, const std::string& message) : std::runtime_error(message), exit_status_(exit_status) {}

    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

// Exit statuses shared by both personas.
constexpr int kExitFailed = 1;  // the command was understood but failed
constexpr int kExitUsage = 2;   // bad command line or bad fault setting

}  // namespace dumplog::sim
