#pragma once
// Doubles for the host (a captured console with a held clock, a shell that
// records command lines) and a scratch folder to work in.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "query/shell.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_error.h"
#include "run/run_state.h"

namespace dumplog::testing {

/// A fresh folder to work in, left and removed at the end.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    std::string previous, path;
};

/// Console on temporary files: stdin holds `input`, stdout and stderr are read back.
class CapturedConsole {
public:
    explicit CapturedConsole(
        const std::string& input = "", Console::Clock clock = [] { return 1764968587.045; });
    ~CapturedConsole();
    Console& console() { return console_; }
    std::string out();
    std::string err();

private:
    std::FILE *in_, *out_, *err_;
    Console console_;
};

/// Records every line; an optional action stands in for the command's effect.
struct RecordingShell : Shell {
    int run_to_end(const std::string& line) override;
    std::vector<std::string> lines;
    std::function<int(const std::string&)> action;
};

/// A Host of the doubles above, a held machine name and pauses that only count.
struct FakeHost {
    explicit FakeHost(std::string machine = "x86_64", std::string input = "");
    operator Host&() { return host; }
    CapturedConsole captured;
    RecordingShell shell;
    std::string machine;
    std::vector<double> pauses;
    std::vector<int> synced;              ///< descriptors given to sync_to_disk
    std::function<int(int)> sync_result;  ///< what sync_to_disk returns; 0 when unset
    std::function<void()> on_clock;       ///< called whenever a message reads the clock
    Host host;
};

/// The reason of the RunError that `action` throws, or "no error".
std::string error_of(const std::function<void()>& action);

/// What every phase test starts from: a scratch working folder, a fake host
/// and a run state that holds the folder open, as start-up leaves it.
struct PhaseTest : ::testing::Test {
    PhaseTest();
    ScratchDir dir;
    FakeHost host;
    RunState state;
    std::string error_of(const std::function<void()>& phase) { return testing::error_of(phase); }
};

/// Runs `body` in a child process, so that a signal flag it sets stays there;
/// gives back the text it returned, or how the child died.
std::string in_child(const std::function<std::string()>& body);

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
/// Message text without its 25-character timestamp and blank.
std::vector<std::string> message_texts(const std::string& out);

}  // namespace dumplog::testing
