#include <gtest/gtest.h>

#include "run/drive_selection.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "test_support.h"

namespace dumplog {
namespace {

using Fields = std::vector<std::string>;

TEST(ListLiteralTest, QuotingAndEscapingByteByByte) {
    EXPECT_EQ(list_literal({}), "[]");
    EXPECT_EQ(list_literal({"/dev/sda", "8"}), "['/dev/sda', '8']");
    EXPECT_EQ(list_literal({"it's"}), "[\"it's\"]");              // single quote only: double quotes
    EXPECT_EQ(list_literal({"it's \"x\""}), "['it\\'s \"x\"']");  // both: single quotes, escaped
    EXPECT_EQ(list_literal({"say \"hi\""}), "['say \"hi\"']");
    EXPECT_EQ(list_literal({"a\\b"}), "['a\\\\b']");
    EXPECT_EQ(list_literal({"/dev/sda\t8"}), "['/dev/sda\\t8']");
    EXPECT_EQ(list_literal({"\n\r\x01\x1f"}), "['\\n\\r\\x01\\x1f']");
    EXPECT_EQ(list_literal({"\x7f\xc3\xa9~"}), "['\\x7f\\xc3\\xa9~']");
}

TEST(TypedLineTest, TrimsSplitsAtSingleBlanksAndDropsEmptyFields) {
    EXPECT_EQ(split_typed_line("/dev/sdc"), Fields{"/dev/sdc"});
    EXPECT_EQ(split_typed_line("  /dev/sda   8  "), (Fields{"/dev/sda", "8"}));
    EXPECT_EQ(split_typed_line("/dev/sda 8 x y"), (Fields{"/dev/sda", "8", "x", "y"}));
    EXPECT_EQ(split_typed_line("\t/dev/sda 8\r"), (Fields{"/dev/sda", "8"}));
    EXPECT_EQ(split_typed_line("/dev/sda\t8"), Fields{"/dev/sda\t8"});  // a tab is no separator
    EXPECT_EQ(split_typed_line(""), Fields{});
    EXPECT_EQ(split_typed_line(" \t  "), Fields{});
}

TEST(DriveSelectionTest, TwoArgumentsAreTakenAsTheyAre) {
    testing::FakeHost host;
    RunState state;
    state.pgm = "./Zerbo/zerbo64";
    select_drive(state, host, {"", ""});
    EXPECT_EQ(state.devInfo, (Fields{"", ""}));
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(host.captured.out(), "\n");
}

TEST(DriveSelectionTest, TypedLineAfterTheListing) {
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
}

TEST(DriveSelectionTest, EndOfInputAtThePromptIsAnError) {
    testing::FakeHost host;
    RunState state;
    EXPECT_THROW(select_drive(state, host, {}), RunError);
}

}  // namespace
}  // namespace dumplog
