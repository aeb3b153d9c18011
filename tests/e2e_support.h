#pragma once
// Runs the built dumplog in a scratch working folder laid out with the
// simulated drive, with chosen arguments, input and environment.
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "test_support.h"

namespace dumplog::testing {

/// The tool the suite runs: the one built beside it on this host, or, for
/// the processor paths, a cross-built binary under a runner, named by
///   DUMPLOG_E2E_TOOL     the binary
///   DUMPLOG_E2E_RUNNER   words put in front of it (qemu-aarch64-static, setarch i686)
///   DUMPLOG_E2E_MACHINE  the machine name the tool will see (aarch64, i686)
struct ToolUnderTest {
    std::string binary, machine;
    std::vector<std::string> runner;
};
const ToolUnderTest& tool_under_test();

struct RunResult {
    int status = -1;  ///< exit status, or 128 + signal number
    std::string out, err;
};

struct RunOptions {
    std::vector<std::string> args;
    std::string input;
    std::vector<std::pair<std::string, std::string>> env;
    bool keep_input_open = false;     ///< stdin stays open until the run ends
    std::function<void(pid_t)> while_running;  ///< called during the run with its pid (also its group)
    std::string name;  ///< tells apart the output files of runs that overlap
};

class SimWorkdir {
public:
    SimWorkdir();
    const std::string& root() const { return root_; }  ///< scratch area beside the working folder
    const std::string& work() const { return work_; }  ///< the working folder
    std::string sim_log() const { return root_ + "/sim.log"; }
    std::string stdout_path(const std::string& name = "") const { return root_ + "/stdout" + name + ".txt"; }
    RunResult run(const RunOptions& options) const;
    std::vector<std::string> leftovers() const;  ///< entries of work() but Zerbo and SmartCtl, sorted

private:
    ScratchDir scratch_;  ///< the test's own working folder too, for as long as it runs
    std::string root_, work_;
};

bool wait_for_text(const std::string& path, const std::string& text, double seconds);  ///< false on timeout
std::string capture(const std::string& command);  ///< a shell command's standard output

}  // namespace dumplog::testing
