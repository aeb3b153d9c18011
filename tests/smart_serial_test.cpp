#include <gtest/gtest.h>

#include "query/smart_serial.h"
#include "query/text.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(SmartParserTest, FirstMatchingLineGivesTheFieldBetweenTheColonsBlanksRemovedCaseKept) {
    for (const auto& [report, serial] : std::vector<std::pair<std::string, std::optional<std::string>>>{
             {"Device Model: X\nSerial Number:    Z4K1 A0B9C7\nSerial Number: SECOND\n", "SNZ4K1A0B9C7"},
             {"  Serial Number: AB:CD\n", "SNAB"},
             {"LU WWN Xerial Number: ab12cd\r\n", "SNab12cd"},  // any non-white byte before "erial"
             {"Serial Number: SN1\t2\n", "SNSN1\t2"},
             {"Serial Number:\n", "SN"},
             {"Serial number: sas\nerial Number: X\na erial Number: X\na\terial Number: X\n", std::nullopt},
         })
        EXPECT_EQ(smart_serial_from_report(split_lines(report)), serial) << report;
}

TEST(ReadSmartSerialTest, OnlyTheFamilyAndOnlyForTheMissingSerial) {
    struct Case {
        std::string model;
        std::optional<std::string> before;
        std::string after;  // the serial, or the error
        std::vector<std::string> shown;
    };
    const std::string smart = "././SmartCtl/smartctla -a -d megaraid,8 /dev/sda  > SMARTInfo.txt";
    for (const Case& c : std::vector<Case>{
             {"qlx22581", "SN0000", "SN0000", {}},
             {"QLX22581", "SN0000", "SNZ4K1A0B9C7", {smart, "DriveSN:SNZ4K1A0B9C7"}},
             {"QLX22581", "SNS3K7N019X200", "SNS3K7N019X200", {smart}},
             {"QLX22581", std::nullopt, "name 'DriveSN' is not defined", {smart}},
         }) {
        testing::ScratchDir dir;
        testing::FakeHost host("aarch64");
        RunState state;
        state.devInfo = {"/dev/sda", "8"};
        state.ModelName = c.model;
        state.DriveSN = c.before;
        host.shell.action = [&](const std::string&) {
            EXPECT_EQ(host.captured.out(), "") << "shown before it ran";
            testing::write_file("SMARTInfo.txt", "Serial Number:    Z4K1 A0B9C7\nSerial Number: later\n");
            return 0;
        };
        const std::string error = testing::error_of([&] { read_smart_serial(state, host); });
        EXPECT_EQ(error == "no error" ? state.DriveSN.value() : error, c.after) << c.model;
        EXPECT_EQ(testing::message_texts(host.captured.out()), c.shown);
    }
}

}  // namespace
}  // namespace dumplog
