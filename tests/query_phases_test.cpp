#include <gtest/gtest.h>

#include "query/e2_serial.h"
#include "query/model_check.h"
#include "query/smart_serial.h"
#include "run/run_error.h"
#include "run/run_state.h"
#include "test_support.h"

namespace dumplog {
namespace {

using testing::message_texts;
using testing::write_file;
using Lines = std::vector<std::string>;

struct QueryPhasesTest : ::testing::Test {
    testing::ScratchDir dir;
    testing::FakeHost host;
    RunState state;
    void SetUp() override {
        state.pgm = "./Zerbo/zerbo64";
        state.devInfo = {"/dev/sda", "8"};
    }
    // The command "writes" its report the way the shell redirection would.
    void report(const std::string& file, const std::string& bytes) {
        host.shell.action = [=](const std::string&) {
            write_file(file, bytes);
            return 0;
        };
    }
};

TEST_F(QueryPhasesTest, ModelCheckShowsEveryMatchAndTheLastOneDecides) {
    report("CheckModel.txt",
           "Offset  00 01\n"
           "0000  51 4C 58 32 20 32 35 38-31 20 00 00 00 20 00 00  QLX2 2581 ... ..\n"
           "0010  00\n"
           "0000  51 4C 58 32 20 32 35 38-32 20 00 00 00 20 00 00  QLX2 2582 ... ..\n");
    model_check(state, host.seams);
    EXPECT_EQ(state.ModelName, "QLX22582");
    EXPECT_EQ(message_texts(host.captured.out()),
              (Lines{"././Zerbo/zerbo64 -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt",
                     "ModelName:QLX22581", "ModelName:QLX22582"}));
}

TEST_F(QueryPhasesTest, ModelCheckWithoutAMatchLeavesTheNameEmpty) {
    state.ModelName = "stale";
    report("CheckModel.txt", "");
    model_check(state, host.seams);
    EXPECT_EQ(state.ModelName, "");
    EXPECT_EQ(message_texts(host.captured.out()).size(), 1u);
}

TEST_F(QueryPhasesTest, MissingReportNamesTheFile) {
    try {
        model_check(state, host.seams);
        FAIL();
    } catch (const RunError& e) {
        EXPECT_EQ(e.reason(), "cannot open CheckModel.txt: No such file or directory");
    }
}

TEST_F(QueryPhasesTest, E2LastRowDecidesAndNoRowLeavesTheSerialUnset) {
    report("E2.txt", "04C0 xx first\n04C0 xx second\n");
    e2_serial(state, host.seams);
    EXPECT_EQ(state.DriveSN, "SNSECOND");

    RunState fresh = state;
    fresh.DriveSN.reset();
    report("E2.txt", "04B0 00\n04D0 00\n");
    e2_serial(fresh, host.seams);
    EXPECT_FALSE(fresh.DriveSN.has_value());
}

TEST_F(QueryPhasesTest, SmartQueryOnlyForTheFamilyAndShownAfterItRan) {
    state.ModelName = "qlx22581";
    state.DriveSN = "SN0000";
    smart_serial(state, host.seams);
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(host.captured.out(), "");

    state.ModelName = "QLX22581";
    host.shell.action = [this](const std::string&) {
        EXPECT_EQ(host.captured.out(), "") << "message written before the command ran";
        write_file("SMARTInfo.txt", "Serial Number:    Z4K1 A0B9C7\nSerial Number: later\n");
        return 0;
    };
    smart_serial(state, host.seams);
    EXPECT_EQ(state.DriveSN, "SNZ4K1A0B9C7");
    EXPECT_EQ(message_texts(host.captured.out()),
              (Lines{"././SmartCtl/smartctl -a -d megaraid,8 /dev/sda  > SMARTInfo.txt", "DriveSN:SNZ4K1A0B9C7"}));
}

TEST_F(QueryPhasesTest, SmartReportIsReadOnlyForTheMissingSerial) {
    state.ModelName = "QLX22582";
    state.DriveSN = "SNS3K7N019X200";
    report("SMARTInfo.txt", "Serial Number: OTHER\n");
    smart_serial(state, host.seams);
    EXPECT_EQ(state.DriveSN, "SNS3K7N019X200");
    EXPECT_EQ(host.shell.lines.size(), 1u);
}

TEST_F(QueryPhasesTest, UnsetSerialFailsAfterTheSmartCommandWasShown) {
    state.ModelName = "QLX22581";
    host.machine = "aarch64";
    report("SMARTInfo.txt", "Serial Number: X\n");
    try {
        smart_serial(state, host.seams);
        FAIL();
    } catch (const RunError& e) {
        EXPECT_EQ(e.reason(), "name 'DriveSN' is not defined");
    }
    EXPECT_EQ(message_texts(host.captured.out()),
              Lines{"././SmartCtl/smartctla -a -d megaraid,8 /dev/sda  > SMARTInfo.txt"});
}

}  // namespace
}  // namespace dumplog
