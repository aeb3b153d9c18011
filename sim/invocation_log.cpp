#include "invocation_log.h"

#include <cstdio>
#include <cstdlib>

#include "sim_error.h"

namespace dumplog::sim {

void log_invocation(std::string_view program, std::span<const std::string> args) {
    const char* path = std::getenv("SIM_LOG");
    if (path == nullptr || *path == '\0') {
        return;
    }
    std::string line(program);
    for (const std::string& arg : args) {
        line += ' ';
        line += arg;
    }
    line += '\n';

    // One fwrite on an append stream: concurrent invocations never interleave
    // within a line of ordinary length.
    std::FILE* log = std::fopen(path, "ab");
    if (log == nullptr) {
        throw SimError(kExitUsage, std::string("bad SIM_LOG=") + path + ": cannot append");
    }
    std::setvbuf(log, nullptr, _IOFBF, line.size() + 1);
    bool ok = std::fwrite(line.data(), 1, line.size(), log) == line.size();
    ok = std::fclose(log) == 0 && ok;
    if (!ok) {
        throw SimError(kExitUsage, std::string("bad SIM_LOG=") + path + ": write failed");
    }
}

}  // namespace dumplog::sim
