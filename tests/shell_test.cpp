#include <filesystem>

#include <gtest/gtest.h>

#include "query/shell.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(ShellTest, FlushesTheConsoleFirstAndRefusesNulBytes) {
    testing::ScratchDir dir;
    std::FILE* out = std::fopen("console.txt", "w+");
    Console console(out, stderr, stdin, [] { return 0.0; });
    SystemShell shell(console);
    console.plain("before");
    EXPECT_EQ(shell.run("echo after >>console.txt"), 0);
    EXPECT_EQ(testing::read_file("console.txt"), "before\nafter\n");
    EXPECT_NE(shell.run("exit 3"), 0);
    EXPECT_THROW(shell.run(std::string("true\0; touch x", 14)), RunError);
    EXPECT_FALSE(std::filesystem::exists("x"));
    std::fclose(out);
}

TEST(ShellTest, CommandThatSignalsTheToolEndsTheRun) {
    EXPECT_EQ(testing::in_child([] {
                  install_interrupt_handlers();
                  testing::CapturedConsole captured;
                  SystemShell shell(captured.console());
                  return testing::error_of([&] { shell.run("kill -TERM $PPID"); });
              }),
              "interrupted by SIGTERM");
}

TEST(ShellTest, RefusesALineLongerThanTheKernelPassesAsOneArgument) {
    testing::ScratchDir dir;
    Console console(stdout, stderr, stdin, [] { return 0.0; });
    SystemShell shell(console);
    const auto padded = [](const std::string& command, std::size_t size) {
        return command + " #" + std::string(size - command.size() - 2, 'x');
    };
    EXPECT_EQ(shell.run(padded("touch longest", kLongestCommandLine)), 0);
    EXPECT_TRUE(std::filesystem::exists("longest")) << "the longest line the shell can receive still runs";
    try {
        shell.run(padded("touch too-long", kLongestCommandLine + 1));
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.reason().rfind("command line of 131072 bytes is longer than the 131071 the shell can receive; "
                                   "it was not run: 'touch too-long #xxx",
                                   0),
                  0u)
            << e.reason().substr(0, 200);
        EXPECT_LT(e.reason().size(), 400u) << "the report shows only the start of the line";
    }
    EXPECT_FALSE(std::filesystem::exists("too-long"));
}

}  // namespace
}  // namespace dumplog
