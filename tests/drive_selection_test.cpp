#include <gtest/gtest.h>

#include "query/shell.h"
#include "run/drive_selection.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "test_support.h"

namespace dumplog {
namespace {

using Fields = std::vector<std::string>;

TEST(ListLiteralTest, QuotingAndEscapingByteByByte) {
    EXPECT_EQ(list_literal({}), "[]");
    EXPECT_EQ(list_literal({"it's", "it's \"x\"", "say \"hi\""}), "[\"it's\", 'it\\'s \"x\"', 'say \"hi\"']");
    EXPECT_EQ(list_literal({"a\\b", "/dev/sda\t8", "\n\r\x01\x1f\x7f\xc3\xa9~"}),
              "['a\\\\b', '/dev/sda\\t8', '\\n\\r\\x01\\x1f\\x7f\\xc3\\xa9~']");
}

TEST(TypedLineTest, TrimsSplitsAtSingleBlanksAndDropsEmptyFields) {
    EXPECT_EQ(split_typed_line("  /dev/sda   8  "), (Fields{"/dev/sda", "8"}));
    EXPECT_EQ(split_typed_line("\t/dev/sda 8\r"), (Fields{"/dev/sda", "8"}));
    EXPECT_EQ(split_typed_line("/dev/sda\t8"), Fields{"/dev/sda\t8"});  // a tab is no separator
    EXPECT_EQ(split_typed_line(" \t  "), Fields{});
}

TEST(DriveSelectionTest, TwoArgumentsAreTakenAsTheyAre) {
    testing::FakeHost host;
    RunState state;
    select_drive(state, host, {"", ""});
    EXPECT_EQ(state.devInfo, (Fields{"", ""}));
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(host.captured.out(), "\n");
}

// A line longer than any command line may hold is refused once that much is read, even one of blanks only.
TEST(DriveSelectionTest, TypedLineAfterTheListingEndOfInputAndAnOverlongLineAreErrors) {
    testing::FakeHost host("x86_64", "  /dev/sda   8 \n");
    RunState state;
    state.pgm = "./Zerbo/zerbo64";
    select_drive(state, host, {"/dev/sdc"});  // one argument is ignored
    EXPECT_EQ(state.devInfo, (Fields{"/dev/sda", "8"}));
    EXPECT_EQ(host.shell.lines, Fields{"././Zerbo/zerbo64 -l |tee DriveInfo.txt"});
    EXPECT_EQ(host.captured.out(),
              "././Zerbo/zerbo64 -l |tee DriveInfo.txt\n"
              "if Megarid disk,Please intput Device Path and Port ID:\n"
              "-->For example: /dev/sda 8:\n"
              "if none Megarid disk,Please intput Device Path:\n"
              "-->For example: /dev/sdc:\n"
              " ['/dev/sda', '8']\n");
    EXPECT_THROW(select_drive(state, host, {}), RunError);
    testing::FakeHost flooded("x86_64", std::string(kLongestCommandLine + 1, ' ') + "/dev/sdb\n");
    EXPECT_EQ(testing::error_of([&] { select_drive(state, flooded, {}); }),
              "typed line of more than 131071 bytes is longer than the shell can receive; the rest was not read and no "
              "command was run with it: '" +
                  std::string(200, ' ') + "'...");
}

}  // namespace
}  // namespace dumplog
