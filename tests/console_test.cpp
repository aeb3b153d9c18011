#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "run/console.h"
#include "test_support.h"

namespace dumplog {
namespace {

// Local time: this test holds the zone at UTC. Both streams go to one file,
// where the warning must come after the lines it follows.
TEST(ConsoleTest, MessagesAreStampedToTheTruncatedMillisecondPlainLinesAreNotWarningsComeInOrder) {
    setenv("TZ", "UTC", 1);
    tzset();
    const double second = 1796504587.0;                                         // 2026-12-05 21:03:07 UTC
    EXPECT_EQ(format_timestamp(second + 0.0456), "[2026-12-05 21:03:07.045]");  // not 046
    testing::ScratchDir dir;
    std::FILE *out = std::fopen("console.txt", "a"), *err = std::fopen("console.txt", "a");
    Console console(out, err, stdin, [=] { return second + 0.045; });
    console.MsgOut("two\nlines");
    console.plain("remove dir:./SN1");
    console.warn("warning: x");
    EXPECT_EQ(testing::read_file("console.txt"),
              "[2026-12-05 21:03:07.045] two\nlines\nremove dir:./SN1\nwarning: x\n");
    std::fclose(out);
    std::fclose(err);
    unsetenv("TZ");
    tzset();
}

// The end of input is the drive selection's test.
TEST(PromptTest, ReadsOneBoundedLineWithoutItsTerminatorAndAReadErrorIsNoEndOfInput) {
    testing::CapturedConsole captured("  /dev/sda 8 \n123456789\n12345678");
    EXPECT_EQ(captured.console().prompt_line(13), std::optional<std::string>("  /dev/sda 8 "));
    EXPECT_EQ(captured.console().prompt_line(7), std::optional<std::string>("12345678")) << "cut after 7 + 1 bytes";
    EXPECT_EQ(captured.console().prompt_line(7), std::optional<std::string>("9")) << "the rest left unread";
    EXPECT_EQ(captured.console().prompt_line(8), std::optional<std::string>("12345678"));
    EXPECT_EQ(captured.out(), "    ");  // not a terminal: the one-blank prompt goes to stdout

    std::FILE* folder = std::fopen(".", "r");  // opens, but every read fails
    Console console(stdout, stderr, folder, [] { return 0.0; });
    EXPECT_EQ(testing::error_of([&] { console.prompt_line(1); }), "reading standard input: Is a directory");
    std::fclose(folder);
}

}  // namespace
}  // namespace dumplog
