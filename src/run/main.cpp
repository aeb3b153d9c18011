// dumplog: collects the save log of a drive into SN<serial>.tar.bz2.
#include <cstdio>
#include <string>
#include <vector>

#include "query/shell.h"
#include "run/console.h"
#include "run/dumplog.h"
#include "run/interrupt.h"
#include "run/seams.h"

int main(int argc, char** argv) {
    dumplog::install_interrupt_handlers();
    dumplog::Console console(stdout, stderr, stdin, dumplog::system_clock_seconds);
    dumplog::SystemShell shell(console);
    dumplog::Seams seams{console, shell, dumplog::host_machine_name, dumplog::interruptible_pause};

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return dumplog::run_process(args, seams);
}
