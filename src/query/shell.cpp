#include "query/shell.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"

namespace dumplog {

std::string shown_line(const std::string& line) {
    constexpr std::size_t kShown = 200;
    return line.size() <= kShown ? quoted_literal(line) : quoted_literal(line.substr(0, kShown)) + "...";
}

void remove_planted(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return;
    if (unlink(name.c_str()) != 0)
        throw RunError(
            system_reason("cannot remove " + name + ", which is not a regular file, before writing it", errno));
}

int Shell::run(const std::string& line, const std::vector<std::string>& writes) {
    throw_if_interrupted();
    for (const std::string& name : writes) remove_planted(name);
    const int status = run_to_end(line);
    // system() ignores SIGINT and SIGQUIT while the command runs, so a flag
    // set now came from outside the command.
    throw_if_interrupted();
    return status;
}

int SystemShell::run_to_end(const std::string& line) {
    // The shell would see the line cut short at the first NUL byte, and the
    // kernel refuses a longer argument: either way another command would run.
    if (line.find('\0') != std::string::npos) throw RunError("command line holds a NUL byte: " + shown_line(line));
    if (line.size() > kLongestCommandLine)
        throw RunError("command line of " + std::to_string(line.size()) + " bytes is longer than the " +
                       std::to_string(kLongestCommandLine) +
                       " the shell can receive; it was not run: " + shown_line(line));
    console_.flush();
    return std::system(line.c_str());
}

std::string describe_wait_status(int status) {
    if (status == -1) return "could not be started";
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "ended with wait status " + std::to_string(status);
}

}  // namespace dumplog
