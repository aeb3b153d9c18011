// dumplog-sim: stands in for the vendor command tool and for smartctl,
// chosen by the name it is run under.  It never opens a device.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "faults.h"
#include "invocation_log.h"
#include "sim_error.h"
#include "smartctl_report.h"
#include "vendor_tool.h"

namespace dumplog::sim {
namespace {

std::string_view base_name(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int run(std::string_view program, const std::vector<std::string>& args) {
    log_invocation(program, args);
    Faults faults = read_faults();
    int status = 0;
    if (program.starts_with("zerbo")) {
        status = run_vendor_tool(program, args, faults);
    } else if (program.starts_with("smartctl")) {
        status = run_smartctl(program, args, faults);
    } else {
        throw SimError(kExitUsage,
                       "run me as zerbo64, zerbo64a or zerbo86 (vendor tool) or as smartctl "
                       "or smartctla (SMART report); copy or link the binary under that name");
    }
    std::cout.flush();
    if (!std::cout) {
        throw SimError(kExitFailed, "write error on standard output");
    }
    return status;
}

}  // namespace
}  // namespace dumplog::sim

int main(int argc, char** argv) {
    using namespace dumplog::sim;
    std::string_view program = base_name(argc > 0 && argv[0] != nullptr ? argv[0] : "");
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        return run(program, args);
    } catch (const SimError& error) {
        std::cout.flush();
        std::cerr << (program.empty() ? "dumplog-sim" : program) << ": " << error.what() << "\n";
        return error.exit_status();
    } catch (const std::exception& error) {
        std::cerr << (program.empty() ? "dumplog-sim" : program) << ": " << error.what() << "\n";
        return kExitFailed;
    }
}
