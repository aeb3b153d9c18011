#include "run/startup.h"

#include "query/shell.h"
#include "run/run_state.h"
#include "run/seams.h"

namespace dumplog {

std::string choose_pgm(const std::string& machine) {
    if (machine == "aarch64") return "./Zerbo/zerbo64a";
    if (machine == "x86_64") return "./Zerbo/zerbo64";
    return "./Zerbo/zerbo86";
}

void startup(RunState& state, Seams& seams) {
    seams.shell.run(kPermissionSweep);
    state.pgm = choose_pgm(seams.machine_name());
}

}  // namespace dumplog
