#pragma once
// Every external command of a run goes through one Shell.
#include <cstddef>
#include <string>
#include <vector>

namespace dumplog {

class Console;

/// The longest command line the kernel passes to /bin/sh as one argument.
inline constexpr std::size_t kLongestCommandLine = 131071;

/// Removes what stands at `name` in the working folder unless it is a
/// regular file or a folder: a link (never followed), FIFO, socket or device
/// node planted where a command is about to write would send the output
/// elsewhere or stall the run. Throws RunError when it cannot be removed.
void remove_planted(const std::string& name);

class Shell {
public:
    virtual ~Shell() = default;
    /// Runs the whole line through /bin/sh and waits for it; returns the wait
    /// status as the C library's system() does (never examined by most
    /// callers). A signal that arrived before or while the command ran ends
    /// the run (RunError) once the command is over. The files the command
    /// writes at the top of the working folder are named in `writes`, and
    /// anything planted there is removed first (remove_planted).
    int run(const std::string& line, const std::vector<std::string>& writes = {});
    /// The same, but a signal that arrived while the command ran is left for
    /// the caller to judge together with the status (see pending_interrupt).
    virtual int run_to_end(const std::string& line) = 0;
};

/// The real runner: refuses a line the shell could not receive whole, then
/// flushes standard output, so the tool's lines and the command's output
/// keep their order, then waits like system(): the interrupt and quit
/// signals stop only the command, not the tool.
class SystemShell : public Shell {
public:
    explicit SystemShell(Console& console) : console_(console) {}
    int run_to_end(const std::string& line) override;

private:
    Console& console_;
};

/// A line as error reports show it: quoted, and cut after 200 bytes.
std::string shown_line(const std::string& line);

/// "exited with status N", "was killed by signal N" or "could not be started".
std::string describe_wait_status(int status);

}  // namespace dumplog
