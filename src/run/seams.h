#pragma once
// Everything a phase reaches outside its own computation: the console, the
// shell, the host's machine name and the pause. Tests hold all four.
#include <functional>
#include <string>

namespace dumplog {

class Console;
class Shell;

struct Seams {
    Console& console;
    Shell& shell;
    std::function<std::string()> machine_name;  ///< the uname machine field
    std::function<void(double)> pause;          ///< sleep for seconds; throws when interrupted
};

/// Wall clock in seconds since the epoch, microsecond resolution.
double system_clock_seconds();
/// uname(2) machine field; empty when the system does not report one.
std::string host_machine_name();
/// Sleeps; an interrupt during the sleep ends the run.
void interruptible_pause(double seconds);

}  // namespace dumplog
