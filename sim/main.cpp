// dumplog-sim: stands in for the vendor command tool and for smartctl,
// chosen by the name it is run under. It never opens a device.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "sim.h"

namespace dumplog::sim {
namespace {

std::string_view base_name(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// SIM_LOG=PATH: "PROGRAM ARG..." appended for every invocation, so tests can
// see which commands ran. One fwrite on an append stream: concurrent
// invocations never interleave within a line of ordinary length.
void log_invocation(std::string_view program, std::span<const std::string> args) {
    const char* path = std::getenv("SIM_LOG");
    if (path == nullptr || *path == '\0') return;
    std::string line(program);
    for (const std::string& arg : args) line += " " + arg;
    line += '\n';

    std::FILE* log = std::fopen(path, "ab");
    if (log == nullptr) throw SimError(kExitUsage, std::string("bad SIM_LOG=") + path + ": cannot append");
    std::setvbuf(log, nullptr, _IOFBF, line.size() + 1);
    bool ok = std::fwrite(line.data(), 1, line.size(), log) == line.size();
    ok = std::fclose(log) == 0 && ok;
    if (!ok) throw SimError(kExitUsage, std::string("bad SIM_LOG=") + path + ": write failed");
}

int run(std::string_view program, const std::vector<std::string>& args) {
    log_invocation(program, args);
    const Faults faults = read_faults();
    int status = 0;
    if (program.starts_with("zerbo"))
        status = run_vendor_tool(program, args, faults);
    else if (program.starts_with("smartctl"))
        status = run_smartctl(program, args, faults);
    else
        throw SimError(kExitUsage,
                       "run me as zerbo64, zerbo64a or zerbo86 (vendor tool) or as smartctl or smartctla (SMART "
                       "report); copy or link the binary under that name");
    std::cout.flush();
    if (!std::cout) throw SimError(kExitFailed, "write error on standard output");
    return status;
}

}  // namespace
}  // namespace dumplog::sim

int main(int argc, char** argv) {
    using namespace dumplog::sim;
    const std::string_view program = base_name(argc > 0 && argv[0] != nullptr ? argv[0] : "");
    const std::string_view name = program.empty() ? "dumplog-sim" : program;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        return run(program, args);
    } catch (const SimError& error) {
        std::cout.flush();
        std::cerr << name << ": " << error.what() << "\n";
        return error.exit_status();
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << "\n";
        return kExitFailed;
    }
}
