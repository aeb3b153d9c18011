#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "run/console.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

// 2026-12-05 21:03:07 UTC
constexpr double kSecond = 1796504587.0;

class InUtc : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};
using TimestampTest = InUtc;
using ConsoleTest = InUtc;

TEST_F(TimestampTest, WholeSecondsAndTruncatedMilliseconds) {
    EXPECT_EQ(format_timestamp(kSecond), "[2026-12-05 21:03:07.000]");
    EXPECT_EQ(format_timestamp(kSecond + 0.0456), "[2026-12-05 21:03:07.045]");  // truncated, not 046
    EXPECT_EQ(format_timestamp(kSecond + 0.5), "[2026-12-05 21:03:07.500]");
    EXPECT_EQ(format_timestamp(kSecond + 0.999999), "[2026-12-05 21:03:07.999]");  // never 1000
}

TEST_F(ConsoleTest, MessagesAndPlainLinesAreWrittenUnchanged) {
    testing::CapturedConsole captured("", [] { return kSecond + 0.045; });
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
}

TEST(PromptTest, ReadsOneLineWithoutItsTerminatorAndNothingAtEndOfInput) {
    testing::CapturedConsole captured("  /dev/sda 8 \nnext\n");
    EXPECT_EQ(captured.console().prompt_line(), std::optional<std::string>("  /dev/sda 8 "));
    EXPECT_EQ(captured.out(), " ");  // not a terminal: the one-blank prompt goes to stdout

    testing::CapturedConsole empty;
    EXPECT_FALSE(empty.console().prompt_line().has_value());

    std::FILE* folder = std::fopen(".", "r");  // opens, but every read fails
    Console console(stdout, stderr, folder, [] { return 0.0; });
    EXPECT_EQ(testing::error_of([&] { console.prompt_line(); }), "reading standard input: Is a directory");
    std::fclose(folder);
}

TEST(ConsoleWriteTest, FailedWriteThrows) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    Console console(full, stderr, stdin, [] { return 0.0; });
    console.plain("x");
    EXPECT_THROW(console.flush(), RunError);
    std::fclose(full);
}

}  // namespace
}  // namespace dumplog
