// dumplog: collects the save log of a drive into SN<serial>.tar.bz2.
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "query/shell.h"
#include "run/console.h"
#include "run/dumplog.h"
#include "run/host.h"

namespace {

// A descriptor 0, 1 or 2 closed by the caller would be handed to the next
// file the run opens, and the console would write into a report. Each is
// taken by /dev/null instead; standard output read-only, so every write to
// it still fails and the run ends with status 1.
void occupy_closed_standard_descriptors() {
    const int modes[3] = {O_RDONLY, O_RDONLY, O_WRONLY};
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) == -1) open("/dev/null", modes[fd]);
}

}  // namespace

int main(int argc, char** argv) {
    occupy_closed_standard_descriptors();
    dumplog::install_interrupt_handlers();
    dumplog::Console console(stdout, stderr, stdin, dumplog::system_clock_seconds);
    dumplog::SystemShell shell(console);
    dumplog::Host host{console, shell, dumplog::host_machine_name, dumplog::interruptible_pause, ::fsync};

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return dumplog::run_process(args, host);
}
