#pragma once
// Every external command of a run goes through one Shell.
#include <string>

namespace dumplog {

class Console;

class Shell {
public:
    virtual ~Shell() = default;
    /// Runs the whole line through /bin/sh and waits for it; returns the wait
    /// status as the C library's system() does (never examined by most callers).
    virtual int run(const std::string& line) = 0;
};

/// The real runner: flushes standard output first, so the tool's lines and
/// the command's output keep their order, then waits like system(): the
/// interrupt and quit signals stop only the command, not the tool.
class SystemShell : public Shell {
public:
    explicit SystemShell(Console& console) : console_(console) {}
    int run(const std::string& line) override;

private:
    Console& console_;
};

/// "exited with status N", "was killed by signal N" or "could not be started".
std::string describe_wait_status(int status);

}  // namespace dumplog
