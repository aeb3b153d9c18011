// Measuring aid for scripts/bench.sh, loaded into dumplog with LD_PRELOAD.
// It times every system() call the tool waits for and every fsync() it makes
// and, at exit, writes them with the tool's own CPU time and peak memory (its
// children excluded) to the file named by DUMPLOG_PROBE_OUT. Not part of the
// tool.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/resource.h>

namespace {

double command_seconds = 0;
int command_count = 0;
double sync_seconds = 0;
int sync_count = 0;
const char* out_path = nullptr;

__attribute__((constructor)) void start() {
    out_path = std::getenv("DUMPLOG_PROBE_OUT");
    unsetenv("LD_PRELOAD");  // the commands run without the probe
}

__attribute__((destructor)) void finish() {
    if (!out_path) return;
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    if (std::FILE* out = std::fopen(out_path, "w")) {
        const double cpu = static_cast<double>(self.ru_utime.tv_sec + self.ru_stime.tv_sec) +
                           static_cast<double>(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
        const double user = static_cast<double>(self.ru_utime.tv_sec) +
                            static_cast<double>(self.ru_utime.tv_usec) / 1e6;
        std::fprintf(out,
                     "commands=%d\ncommand_seconds=%.6f\nsyncs=%d\nsync_seconds=%.6f\ncpu_seconds=%.6f\n"
                     "user_seconds=%.6f\nmaxrss_kib=%ld\n",
                     command_count, command_seconds, sync_count, sync_seconds, cpu, user, self.ru_maxrss);
        std::fclose(out);
    }
}

}  // namespace

extern "C" int system(const char* line) {
    using real_system_t = int (*)(const char*);
    static const auto real_system = reinterpret_cast<real_system_t>(dlsym(RTLD_NEXT, "system"));
    const auto begin = std::chrono::steady_clock::now();
    const int status = real_system(line);
    command_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ++command_count;
    return status;
}

extern "C" int fsync(int fd) {
    using real_fsync_t = int (*)(int);
    static const auto real_fsync = reinterpret_cast<real_fsync_t>(dlsym(RTLD_NEXT, "fsync"));
    const auto begin = std::chrono::steady_clock::now();
    const int result = real_fsync(fd);
    sync_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ++sync_count;
    return result;
}
