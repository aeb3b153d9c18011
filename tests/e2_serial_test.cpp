#include <gtest/gtest.h>

#include "query/e2_serial.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(E2ParserTest, WorkedExampleAndNormalisationOfTheLastField) {
    EXPECT_FALSE(is_e2_serial_line(" 04C0  73") || is_e2_serial_line("04c0  73"));
    for (const auto& [line, serial] : std::vector<std::pair<std::string, std::string>>{
             {"04C0  73 33 6B 37 6E 30 31 39-78 32 30 30 00 00 00 00  s3k7n019x200....\n", "SNS3K7N019X200"},
             {"04C0\n", "SN04C0"},
             {"04C0  00 00-00 00  ................\n", "SN0000"},
             {"04C0 xx AB-123\n", "SN123"},
             {"04C0 xx sn123\n", "SNSN123"},
             {"04C0 xx \tAB\n", "SNAB"},
             {"04C0 xx \xc3\xa9t\xc3\xa9\n", "SN\xc3\xa9T\xc3\xa9"},  // ASCII upper case only
         })
        EXPECT_EQ(e2_serial_from_line(line), serial) << line;
}

using ReadE2SerialTest = testing::PhaseTest;

TEST_F(ReadE2SerialTest, NoRowLeavesTheSerialUnsetAndTheLastRowDecides) {
    state.pgm = "./Zerbo/zerbo64a";
    state.devInfo = {"/dev/sdc"};
    testing::write_file("E2.txt", "04B0 00\n04D0 00\n");
    read_e2_serial(state, host);
    EXPECT_FALSE(state.DriveSN.has_value());

    testing::write_file("E2.txt", "04C0 xx first\n04C0 xx second\n");
    read_e2_serial(state, host);
    EXPECT_EQ(state.DriveSN, "SNSECOND");
    EXPECT_EQ(testing::message_texts(host.captured.out()),
              std::vector<std::string>(2, "././Zerbo/zerbo64a -d /dev/sdc -f vucmd cdb=2D in=8192 >E2.txt"));
}

}  // namespace
}  // namespace dumplog
