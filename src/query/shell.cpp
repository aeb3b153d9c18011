#include "query/shell.h"

#include <cstdlib>
#include <sys/wait.h>

#include "query/text.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"

namespace dumplog {

int SystemShell::run(const std::string& line) {
    throw_if_interrupted();
    // The shell would see the line cut short at the first NUL byte.
    if (line.find('\0') != std::string::npos) throw RunError("command line holds a NUL byte: " + quoted_literal(line));
    console_.flush();
    const int status = std::system(line.c_str());
    // system() ignores SIGINT and SIGQUIT while the command runs, so a flag
    // set now came from outside the command.
    throw_if_interrupted();
    return status;
}

std::string describe_wait_status(int status) {
    if (status == -1) return "could not be started";
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "ended with wait status " + std::to_string(status);
}

}  // namespace dumplog
