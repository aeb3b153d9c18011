#include <gtest/gtest.h>

#include "query/e2_serial.h"
#include "test_support.h"

namespace dumplog {
namespace {

using testing::message_texts;
using testing::write_file;

const std::string kE2Row = "04C0  73 33 6B 37 6E 30 31 39-78 32 30 30 00 00 00 00  s3k7n019x200....\n";

TEST(E2ParserTest, WorkedExampleAndTheLineRule) {
    EXPECT_TRUE(is_e2_serial_line(kE2Row));
    EXPECT_EQ(e2_serial_from_line(kE2Row), "SNS3K7N019X200");
    EXPECT_FALSE(is_e2_serial_line(" 04C0  73"));
    EXPECT_FALSE(is_e2_serial_line("04c0  73"));
}

TEST(E2ParserTest, NormalisationCases) {
    EXPECT_EQ(e2_serial_from_line("04C0\n"), "SN04C0");
    EXPECT_EQ(e2_serial_from_line("04C0  00 00-00 00  ................\n"), "SN0000");
    EXPECT_EQ(e2_serial_from_line("04C0 xx AB-\n"), "SN0000");  // trailing dash: empty last field
    EXPECT_EQ(e2_serial_from_line("04C0 xx AB-123\n"), "SN123");
    EXPECT_EQ(e2_serial_from_line("04C0 xx sn123\n"), "SNSN123");
    EXPECT_EQ(e2_serial_from_line("04C0 xx   AB\n"), "SNAB");  // three blanks: 04C0, xx, "", AB
    EXPECT_EQ(e2_serial_from_line("04C0 xx \tAB\n"), "SNAB");
    EXPECT_EQ(e2_serial_from_line("04C0 xx \xc3\xa9t\xc3\xa9\n"), "SN\xc3\xa9T\xc3\xa9");  // ASCII upper case only
}

struct ReadE2SerialTest : testing::PhaseTest {
    void SetUp() override {
        state.pgm = "./Zerbo/zerbo64a";
        state.devInfo = {"/dev/sdc"};
    }
};

TEST_F(ReadE2SerialTest, LastRowDecidesAndNoRowLeavesTheSerialUnset) {
    host.shell.action = [](const std::string&) {
        write_file("E2.txt", "04C0 xx first\n04C0 xx second\n");
        return 0;
    };
    read_e2_serial(state, host);
    EXPECT_EQ(state.DriveSN, "SNSECOND");
    EXPECT_EQ(message_texts(host.captured.out()),
              std::vector<std::string>{"././Zerbo/zerbo64a -d /dev/sdc -f vucmd cdb=2D in=8192 >E2.txt"});

    state.DriveSN.reset();
    host.shell.action = [](const std::string&) {
        write_file("E2.txt", "04B0 00\n04D0 00\n");
        return 0;
    };
    read_e2_serial(state, host);
    EXPECT_FALSE(state.DriveSN.has_value());
}

}  // namespace
}  // namespace dumplog
