#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "query/shell.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;

// Where the command writes, a planted link (even a dangling one) or FIFO goes first; a file or a folder stays.
TEST(ShellTest, FlushesTheConsoleFirstClearsWhatIsPlantedAndRefusesALineTheShellWouldNotReceiveWhole) {
    testing::ScratchDir dir;
    std::FILE* out = std::fopen("console.txt", "w+");
    Console console(out, stderr, stdin, [] { return 0.0; });
    SystemShell shell(console);
    console.plain("before");
    EXPECT_EQ(shell.run("echo after >>console.txt"), 0);
    EXPECT_EQ(testing::read_file("console.txt"), "before\nafter\n");
    fs::create_symlink("outside", "link");
    mkfifo("fifo", 0600);
    fs::create_directory("folder");
    EXPECT_EQ(shell.run("echo x >link", {"link", "fifo", "folder", "console.txt"}), 0);
    EXPECT_FALSE(fs::exists("outside") || fs::exists(fs::symlink_status("fifo")));
    EXPECT_TRUE(fs::is_directory("folder") && fs::is_regular_file("console.txt"));
    EXPECT_NE(shell.run("exit 3"), 0);

    EXPECT_THROW(shell.run(std::string("true\0; touch x", 14)), RunError);
    const std::string pad(kLongestCommandLine - 15, 'x');
    EXPECT_EQ(shell.run("touch longest #" + pad), 0);
    const std::string shown = "'touch too-long #" + std::string(200 - 16, 'x') + "'...";
    EXPECT_EQ(testing::error_of([&] { shell.run("touch too-long #" + pad); }),
              "command line of 131072 bytes is longer than the 131071 the shell can receive; it was not run: " + shown);
    EXPECT_TRUE(fs::exists("longest"));
    EXPECT_FALSE(fs::exists("x") || fs::exists("too-long"));
    std::fclose(out);
}

// A signal that came before a command keeps it from running.
TEST(ShellTest, CommandThatSignalsTheToolEndsTheRunAndNoneRunsAfterASignal) {
    EXPECT_EQ(testing::in_child([] {
                  testing::ScratchDir dir;
                  install_interrupt_handlers();
                  testing::CapturedConsole captured;
                  SystemShell shell(captured.console());
                  const std::string error = testing::error_of([&] { shell.run("kill -TERM $PPID"); });
                  const std::string next = testing::error_of([&] { shell.run("touch ran"); });
                  return error + ", " + next + (fs::exists("ran") ? ", ran" : "");
              }),
              "interrupted by SIGTERM, interrupted by SIGTERM");
}

}  // namespace
}  // namespace dumplog
