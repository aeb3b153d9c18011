#pragma once
// The host a run talks to: its console, its shell, its machine name, its
// pause, its disk and the signals it receives. The phases reach every
// effect outside their own computation through a Host; tests hold one.
//
// Layering: the phases in query/ and savelog/ include from run/ only
// console.h, run_error.h, run_state.h and this header. run/ sits on top of
// both; nothing below run/ includes dumplog.h.
#include <functional>
#include <string>

namespace dumplog {

class Console;
class Shell;

struct Host {
    Console& console;
    Shell& shell;
    std::function<std::string()> machine_name;  ///< the uname machine field
    std::function<void(double)> pause;          ///< sleep for seconds; throws when interrupted
    std::function<int(int)> sync_to_disk;       ///< fsync(2) of a descriptor: 0, or -1 and errno
};

/// Wall clock in seconds since the epoch, microsecond resolution.
double system_clock_seconds();
/// uname(2) machine field; empty when the system does not report one.
std::string host_machine_name();
/// Sleeps; an interrupt during the sleep ends the run.
void interruptible_pause(double seconds);

/// SIGINT, SIGQUIT, SIGTERM and SIGHUP set a flag; SIGPIPE and SIGXFSZ make
/// a failed write instead of a silent death. Handlers (not SIG_IGN) are installed so
/// that the shell's children start with the default dispositions again, and
/// no handler restarts an interrupted call.
void install_interrupt_handlers();
/// "SIGINT", "SIGTERM", ... for the first signal that arrived, or "".
std::string pending_interrupt();
/// Throws RunError("interrupted by SIG...") when a signal has arrived.
void throw_if_interrupted();

}  // namespace dumplog
