#include "run/host.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/time.h>
#include <sys/utsname.h>

#include "run/run_error.h"

namespace dumplog {
namespace {

// Written only by the signal handler: the number of the first signal that
// arrived while no external command was running.
volatile std::sig_atomic_t pending_signal = 0;

extern "C" void note_signal(int sig) {
    if (pending_signal == 0) pending_signal = sig;
}

// A write that the pipe or the file-size limit refuses then fails with EPIPE
// or EFBIG, and the console reports it.
extern "C" void ignore_write_signal(int) {}

void install(int sig, void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read or sleep returns EINTR
    sigaction(sig, &action, nullptr);
}

}  // namespace

double system_clock_seconds() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1e6;
}

std::string host_machine_name() {
    utsname names{};
    if (uname(&names) != 0) return {};
    return names.machine;
}

void interruptible_pause(double seconds) {
    timespec left{};
    left.tv_sec = static_cast<time_t>(seconds);
    left.tv_nsec = static_cast<long>(std::llround((seconds - static_cast<double>(left.tv_sec)) * 1e9));
    while (nanosleep(&left, &left) != 0 && errno == EINTR) throw_if_interrupted();
    throw_if_interrupted();
}

void install_interrupt_handlers() {
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) install(sig, note_signal);
    install(SIGPIPE, ignore_write_signal);
    install(SIGXFSZ, ignore_write_signal);
}

std::string pending_interrupt() {
    switch (pending_signal) {
    case 0: return {};
    case SIGINT: return "SIGINT";
    case SIGQUIT: return "SIGQUIT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

void throw_if_interrupted() {
    const std::string sig = pending_interrupt();
    if (!sig.empty()) throw RunError("interrupted by " + sig);
}

}  // namespace dumplog
