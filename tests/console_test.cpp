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

TEST_F(TimestampTest, DoublePrecisionMayShowOneMillisecondLess) {
    // The fraction of a double near 1.8e9 s is not exact: .044 comes out as
    // 43.9999..., and truncation keeps 043. Never above the true figure.
    EXPECT_EQ(format_timestamp(1796504587.044), "[2026-12-05 21:03:07.043]");
    EXPECT_EQ(format_timestamp(1796504587.123), "[2026-12-05 21:03:07.122]");
    EXPECT_EQ(format_timestamp(1796504587.045), "[2026-12-05 21:03:07.045]");
}

TEST_F(TimestampTest, MidnightAndTheProcessTimeZone) {
    const double last = 1798761599.0;  // 2026-12-31 23:59:59
    EXPECT_EQ(format_timestamp(last + 0.999), "[2026-12-31 23:59:59.999]");
    EXPECT_EQ(format_timestamp(last + 1.0), "[2027-01-01 00:00:00.000]");
    setenv("TZ", "Asia/Tokyo", 1);  // UTC+9, no daylight saving
    tzset();
    EXPECT_EQ(format_timestamp(kSecond), "[2026-12-06 06:03:07.000]");
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
