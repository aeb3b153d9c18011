#include "test_support.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace dumplog::testing {

ScratchDir::ScratchDir()
    : previous(std::filesystem::current_path()),
      path((std::filesystem::temp_directory_path() / "dumplog-test-XXXXXX").string()) {
    if (!mkdtemp(path.data())) throw std::runtime_error("mkdtemp failed");
    std::filesystem::current_path(path);
}

ScratchDir::~ScratchDir() {
    std::filesystem::current_path(previous);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

CapturedConsole::CapturedConsole(std::string input, Console::Clock clock)
    : input_(std::move(input)),
      out_(open_memstream(&out_buf_, &out_len_)),
      err_(open_memstream(&err_buf_, &err_len_)),
      in_(input_.empty() ? std::fopen("/dev/null", "r") : fmemopen(input_.data(), input_.size(), "r")),
      console_(out_, err_, in_, std::move(clock)) {}

CapturedConsole::~CapturedConsole() {
    std::fclose(out_);
    std::fclose(err_);
    std::fclose(in_);
    std::free(out_buf_);
    std::free(err_buf_);
}

std::string CapturedConsole::out() {
    std::fflush(out_);
    return std::string(out_buf_, out_len_);
}

std::string CapturedConsole::err() {
    std::fflush(err_);
    return std::string(err_buf_, err_len_);
}

int RecordingShell::run_to_end(const std::string& line) {
    lines.push_back(line);
    return action ? action(line) : 0;
}

FakeHost::FakeHost(std::string machine_name, std::string input)
    : captured(std::move(input),
               [this] {
                   if (on_clock) on_clock();
                   return 1764968587.045;
               }),
      machine(std::move(machine_name)),
      host{captured.console(), shell, [this] { return machine; }, [this](double s) { pauses.push_back(s); },
           [this](int fd) {
               synced.push_back(fd);
               return sync_result ? sync_result(fd) : 0;
           }} {}

PhaseTest::PhaseTest() { state.workdir = FolderLock(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); }

std::string error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunError& error) {
        return error.reason();
    }
    return "no error";
}

std::string in_child(const std::function<std::string()>& body) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
    std::fflush(nullptr);  // or the child writes the parent's buffered output too
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        std::string text;
        try {
            text = body();
        } catch (const std::exception& error) {
            text = std::string("exception: ") + error.what();
        }
        const ssize_t ignored = write(pipe_fds[1], text.data(), text.size());
        (void)ignored;
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t got; (got = read(pipe_fds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, got);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child died: wait status " + std::to_string(status);
    return text;
}

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> message_texts(const std::string& out) {
    std::vector<std::string> texts;
    static const std::regex stamp(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )");
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        texts.push_back(std::regex_search(line, stamp) ? line.substr(26) : line);
    return texts;
}

}  // namespace dumplog::testing
