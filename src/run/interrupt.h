#pragma once
// Terminal interrupts outside an external command end the run through the
// ordinary error path. Handlers (not SIG_IGN) are installed so that the
// shell's children start with the default dispositions again.

namespace dumplog {

/// SIGINT, SIGQUIT, SIGTERM and SIGHUP set a flag; SIGPIPE becomes a failed
/// write instead of a silent death. No handler restarts interrupted calls.
void install_interrupt_handlers();

/// Throws RunError("interrupted by SIG...") when a signal has arrived.
void throw_if_interrupted();

}  // namespace dumplog
