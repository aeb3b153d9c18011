#include "run/seams.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <sys/time.h>
#include <sys/utsname.h>

#include "run/interrupt.h"
#include "run/run_error.h"

namespace dumplog {

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

}  // namespace dumplog
