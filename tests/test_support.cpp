#include "test_support.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace dumplog::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : previous(fs::current_path()), path(fs::temp_directory_path() / "dumplog-test-XXXXXX") {
    if (!mkdtemp(path.data())) throw std::runtime_error("mkdtemp failed");
    fs::current_path(path);
}

ScratchDir::~ScratchDir() {
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(path, ec);
}

// The whole of a temporary file, read through a descriptor of its own.
static std::string contents(std::FILE* file) {
    std::fflush(file);
    return read_file("/proc/self/fd/" + std::to_string(fileno(file)));
}

CapturedConsole::CapturedConsole(const std::string& input, Console::Clock clock)
    : in_(std::tmpfile()), out_(std::tmpfile()), err_(std::tmpfile()), console_(out_, err_, in_, std::move(clock)) {
    std::fwrite(input.data(), 1, input.size(), in_);
    std::rewind(in_);
}

CapturedConsole::~CapturedConsole() {
    for (std::FILE* file : {in_, out_, err_}) std::fclose(file);
}

std::string CapturedConsole::out() { return contents(out_); }
std::string CapturedConsole::err() { return contents(err_); }

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
    std::FILE* text = std::tmpfile();
    std::fflush(nullptr);  // or the child writes the parent's buffered output too
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            const std::string returned = body();
            std::fwrite(returned.data(), 1, returned.size(), text);
        } catch (const std::exception& error) {
            std::fprintf(text, "exception: %s", error.what());
        }
        std::fflush(text);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string result = WIFEXITED(status) ? contents(text) : "child died: wait status " + std::to_string(status);
    std::fclose(text);
    return result;
}

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> message_texts(const std::string& out) {
    std::vector<std::string> texts;
    static const std::regex stamp(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )");
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) texts.push_back(std::regex_replace(line, stamp, ""));
    return texts;
}

}  // namespace dumplog::testing
