#include "run/startup.h"

#include "query/shell.h"
#include "run/host.h"
#include "run/run_state.h"

namespace dumplog {

std::string choose_pgm(const std::string& machine) {
    if (machine == "aarch64") return "./Zerbo/zerbo64a";
    if (machine == "x86_64") return "./Zerbo/zerbo64";
    return "./Zerbo/zerbo86";
}

void start_up(RunState& state, Host& host) {
    host.shell.run(kPermissionSweep);
    state.pgm = choose_pgm(host.machine_name());
}

}  // namespace dumplog
