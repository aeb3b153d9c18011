#include <gtest/gtest.h>

#include "query/smart_serial.h"
#include "query/text.h"
#include "test_support.h"

namespace dumplog {
namespace {

using testing::message_texts;
using testing::write_file;
using Lines = std::vector<std::string>;

TEST(SmartParserTest, WorkedExampleAndTheMatchRule) {
    EXPECT_EQ(smart_serial_from_line("Serial Number:    Z4K1 A0B9C7\n"), "SNZ4K1A0B9C7");
    EXPECT_TRUE(is_smart_serial_line("Serial Number:    X\n"));
    EXPECT_TRUE(is_smart_serial_line("  Serial Number: X\n"));
    EXPECT_TRUE(is_smart_serial_line("LU WWN Xerial Number: X\n"));  // any non-white byte before "erial"
    EXPECT_FALSE(is_smart_serial_line("Serial number:    X\n"));     // SAS style
    EXPECT_FALSE(is_smart_serial_line("erial Number: X\n"));
    EXPECT_FALSE(is_smart_serial_line("a erial Number: X\n"));
    EXPECT_FALSE(is_smart_serial_line("a\terial Number: X\n"));
}

TEST(SmartParserTest, FieldBetweenTheColonsBlanksRemovedCaseKept) {
    EXPECT_EQ(smart_serial_from_line("Serial Number:\n"), "SN");
    EXPECT_EQ(smart_serial_from_line("Serial Number: AB:CD\n"), "SNAB");
    EXPECT_EQ(smart_serial_from_line("Serial Number: ab12cd\r\n"), "SNab12cd");
    EXPECT_EQ(smart_serial_from_line("Serial Number: SN123\n"), "SNSN123");
    EXPECT_EQ(smart_serial_from_line("Serial Number: a\tb\n"), "SNa\tb");
}

TEST(SmartParserTest, FirstMatchingLineDecides) {
    const auto lines = split_lines("Device Model: X\nSerial Number: FIRST\nSerial Number: SECOND\n");
    EXPECT_EQ(smart_serial_from_report(lines), std::optional<std::string>("SNFIRST"));
    EXPECT_EQ(smart_serial_from_report(split_lines("Serial number: sas\n")), std::nullopt);
}

// The family's SMART report is read only for the serial E2 left as SN0000;
// the command is shown after it ran.
TEST(ReadSmartSerialTest, OnlyTheFamilyAndOnlyForTheMissingSerial) {
    struct Case {
        std::string model, machine;
        std::optional<std::string> before;
        std::string after;  // the serial, or the error
        Lines shown;
    };
    const std::string smart = "././SmartCtl/smartctl -a -d megaraid,8 /dev/sda  > SMARTInfo.txt";
    for (const Case& c : std::vector<Case>{
             {"qlx22581", "x86_64", "SN0000", "SN0000", {}},
             {"QLX22581", "x86_64", "SN0000", "SNZ4K1A0B9C7", {smart, "DriveSN:SNZ4K1A0B9C7"}},
             {"QLX22581", "x86_64", "SNS3K7N019X200", "SNS3K7N019X200", {smart}},
             {"QLX22581", "aarch64", std::nullopt, "name 'DriveSN' is not defined",
              {"././SmartCtl/smartctla -a -d megaraid,8 /dev/sda  > SMARTInfo.txt"}},
         }) {
        testing::ScratchDir dir;
        testing::FakeHost host(c.machine);
        RunState state;
        state.devInfo = {"/dev/sda", "8"};
        state.ModelName = c.model;
        state.DriveSN = c.before;
        host.shell.action = [&](const std::string&) {
            EXPECT_EQ(host.captured.out(), "") << "shown before it ran";
            write_file("SMARTInfo.txt", "Serial Number:    Z4K1 A0B9C7\nSerial Number: later\n");
            return 0;
        };
        const std::string error = testing::error_of([&] { read_smart_serial(state, host); });
        EXPECT_EQ(error == "no error" ? state.DriveSN.value() : error, c.after) << c.model << c.machine;
        EXPECT_EQ(message_texts(host.captured.out()), c.shown);
        EXPECT_EQ(host.shell.lines.size(), c.shown.size() ? 1u : 0u);
    }
}

}  // namespace
}  // namespace dumplog
