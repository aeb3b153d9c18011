#include <filesystem>

#include <gtest/gtest.h>

#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(ConsoleTest, MessagesAndPlainLinesAreWrittenUnchanged) {
    setenv("TZ", "UTC", 1);
    tzset();
    testing::CapturedConsole captured("", 1796504587.045);
    Console& console = captured.console();
    console.MsgOut("Dump Log done!!");
    console.MsgOut("");
    console.MsgOut("two\nlines");
    console.plain("remove dir:./SN1");
    console.warn("warning: x");
    EXPECT_EQ(captured.out(),
              "[2026-12-05 21:03:07.045] Dump Log done!!\n"
              "[2026-12-05 21:03:07.045] \n"
              "[2026-12-05 21:03:07.045] two\nlines\n"
              "remove dir:./SN1\n");
    EXPECT_EQ(captured.err(), "warning: x\n");
    unsetenv("TZ");
    tzset();
}

TEST(ConsoleTest, PromptReadsOneLineWithoutItsTerminator) {
    testing::CapturedConsole captured("  /dev/sda 8 \nnext\n");
    EXPECT_EQ(captured.console().prompt_line(), std::optional<std::string>("  /dev/sda 8 "));
    EXPECT_EQ(captured.out(), " ");  // not a terminal: the one-blank prompt goes to stdout
}

TEST(ConsoleTest, EndOfInputIsNoLine) {
    testing::CapturedConsole captured;
    EXPECT_FALSE(captured.console().prompt_line().has_value());
}

TEST(ConsoleTest, FailedWriteThrows) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    Console console(full, stderr, stdin, [] { return 0.0; });
    console.plain("x");
    EXPECT_THROW(console.flush(), RunError);
    std::fclose(full);
}

}  // namespace
}  // namespace dumplog

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

}  // namespace
}  // namespace dumplog
