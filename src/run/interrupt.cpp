#include "run/interrupt.h"

#include <csignal>
#include <cstring>
#include <string>

#include "run/run_error.h"

namespace dumplog {
namespace {

// Written only by the signal handler: the number of the first signal that
// arrived while no external command was running.
volatile std::sig_atomic_t pending_signal = 0;

extern "C" void note_signal(int sig) {
    if (pending_signal == 0) pending_signal = sig;
}

extern "C" void ignore_broken_pipe(int) {}

void install(int sig, void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read or sleep returns EINTR
    sigaction(sig, &action, nullptr);
}

}  // namespace

void install_interrupt_handlers() {
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) install(sig, note_signal);
    install(SIGPIPE, ignore_broken_pipe);
}

void throw_if_interrupted() {
    const int sig = pending_signal;
    if (sig == 0) return;
    const char* name = sig == SIGINT    ? "SIGINT"
                       : sig == SIGQUIT ? "SIGQUIT"
                       : sig == SIGTERM ? "SIGTERM"
                       : sig == SIGHUP  ? "SIGHUP"
                                        : "a signal";
    throw RunError(std::string("interrupted by ") + name);
}

}  // namespace dumplog
