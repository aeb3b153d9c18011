#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "run/console.h"
#include "test_support.h"

namespace dumplog {
namespace {

// Local time: this test holds the zone at UTC.
TEST(ConsoleTest, MessagesAreStampedToTheTruncatedMillisecondPlainLinesAreNot) {
    setenv("TZ", "UTC", 1);
    tzset();
    const double second = 1796504587.0;                                         // 2026-12-05 21:03:07 UTC
    EXPECT_EQ(format_timestamp(second + 0.0456), "[2026-12-05 21:03:07.045]");  // not 046
    testing::CapturedConsole captured("", [=] { return second + 0.045; });
    Console& console = captured.console();
    console.MsgOut("two\nlines");
    console.plain("remove dir:./SN1");
    console.warn("warning: x");
    EXPECT_EQ(captured.out(), "[2026-12-05 21:03:07.045] two\nlines\nremove dir:./SN1\n");
    EXPECT_EQ(captured.err(), "warning: x\n");
    unsetenv("TZ");
    tzset();
}

// The end of input is the drive selection's test.
TEST(PromptTest, ReadsOneLineWithoutItsTerminatorAndAReadErrorIsNoEndOfInput) {
    testing::CapturedConsole captured("  /dev/sda 8 \nnext\n");
    EXPECT_EQ(captured.console().prompt_line(), std::optional<std::string>("  /dev/sda 8 "));
    EXPECT_EQ(captured.out(), " ");  // not a terminal: the one-blank prompt goes to stdout

    std::FILE* folder = std::fopen(".", "r");  // opens, but every read fails
    Console console(stdout, stderr, folder, [] { return 0.0; });
    EXPECT_EQ(testing::error_of([&] { console.prompt_line(); }), "reading standard input: Is a directory");
    std::fclose(folder);
}

}  // namespace
}  // namespace dumplog
