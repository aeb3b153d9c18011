#include "e2e_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "run/host.h"
#include "test_support.h"

namespace dumplog::testing {

namespace fs = std::filesystem;

const ToolUnderTest& tool_under_test() {
    static const ToolUnderTest tool = [] {
        const auto env = [](const char* name) { return std::string(std::getenv(name) ? std::getenv(name) : ""); };
        ToolUnderTest t{env("DUMPLOG_E2E_TOOL"), env("DUMPLOG_E2E_MACHINE")};
        if (t.binary.empty()) t.binary = DUMPLOG_BIN;
        if (t.machine.empty()) t.machine = host_machine_name();
        std::istringstream words(env("DUMPLOG_E2E_RUNNER"));
        for (std::string word; words >> word;) t.runner.push_back(word);
        return t;
    }();
    return tool;
}

SimWorkdir::SimWorkdir() : root_(scratch_.path), work_(root_ + "/work") {
    const std::string layout = std::string("bash '") + LAYOUT_SCRIPT + "' '" + work_ + "' '" + SIM_BIN + "'";
    if (std::system(layout.c_str()) != 0) throw std::runtime_error("cannot lay out " + work_);
    fs::permissions(work_, fs::perms(0755));  // whatever the umask: the tool refuses a folder others can write
}

RunResult SimWorkdir::run(const RunOptions& options) const {
    const std::string out_path = stdout_path(options.name);
    const std::string err_path = root_ + "/stderr" + options.name + ".txt";
    // Fresh files before the child starts, so nobody reads the last run's output.
    write_file(out_path, "");
    write_file(err_path, "");
    int input[2];
    if (pipe(input) != 0) throw std::runtime_error("pipe");

    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(input[0], 0);
        close(input[0]);
        close(input[1]);
        dup2(open(out_path.c_str(), O_WRONLY), 1);
        dup2(open(err_path.c_str(), O_WRONLY), 2);
        setenv("SIM_LOG", sim_log().c_str(), 1);
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        if (chdir(work_.c_str()) != 0) _exit(126);
        const ToolUnderTest& tool = tool_under_test();
        std::vector<char*> argv;
        for (const auto& word : tool.runner) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(const_cast<char*>(tool.binary.c_str()));
        for (const auto& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    close(input[0]);
    if (!options.input.empty() && write(input[1], options.input.data(), options.input.size()) < 0)
        throw std::runtime_error("write to stdin");
    if (!options.keep_input_open) close(input[1]);
    if (options.while_running) options.while_running(pid);

    int status = 0;
    waitpid(pid, &status, 0);
    if (options.keep_input_open) close(input[1]);

    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read_file(out_path), read_file(err_path)};
}

std::vector<std::string> SimWorkdir::leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work_)) {
        const std::string name = entry.path().filename();
        if (name != "Zerbo" && name != "SmartCtl") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool wait_for_text(const std::string& path, const std::string& text, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (read_file(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string capture(const std::string& command) {
    std::string text;
    std::FILE* pipe = popen(command.c_str(), "r");
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) text += char(c);
    if (pipe) pclose(pipe);
    return text;
}

}  // namespace dumplog::testing
