#include <gtest/gtest.h>

#include "query/command_lines.h"

namespace dumplog {
namespace {

using Fields = std::vector<std::string>;
const Fields kPlain{"/dev/sdc"};
const Fields kMegaRaid{"/dev/sda", "8"};
const Fields kTagged{"/dev/sda", "8", "x", "t1", "y"};

TEST(CommandLinesTest, VendorQueriesInBothDeviceForms) {
    EXPECT_EQ(model_query_command("./Zerbo/zerbo64", kTagged),
              "././Zerbo/zerbo64 -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt");
    EXPECT_EQ(e2_query_command("./Zerbo/zerbo86", Fields{"", ""}),
              "././Zerbo/zerbo86 -d , -f vucmd cdb=2D in=8192 >E2.txt");
}

TEST(CommandLinesTest, SmartQueryPutsThePortFirstAndTwoBlanksBeforeTheRedirection) {
    EXPECT_EQ(smart_query_command("aarch64", kMegaRaid),
              "././SmartCtl/smartctla -a -d megaraid,8 /dev/sda  > SMARTInfo.txt");
    EXPECT_EQ(smart_query_command("x86_64", kPlain), "././SmartCtl/smartctl -a /dev/sdc  > SMARTInfo.txt");
    EXPECT_EQ(smart_query_command("i686", kTagged), "././SmartCtl/smartctl -a -d megaraid,8 /dev/sda  > SMARTInfo.txt");
}

TEST(CommandLinesTest, PageCommandsCountDecimalInNamesAndHexInTheCommand) {
    EXPECT_EQ(page_command("./Zerbo/zerbo64", kPlain, 0, page_file_name("SN1234", 0, kPlain)),
              "././Zerbo/zerbo64 -d /dev/sdc -f vucmd cdb=1C,BE,10,00,00 in=16384 outfile=./SN1234/000.raw >log.txt");
    EXPECT_EQ(
        page_command("./Zerbo/zerbo64", kTagged, 127, page_file_name("SN1234", 127, kTagged)),
        "././Zerbo/zerbo64 -d /dev/sda,8 -f vucmd cdb=1C,BE,10,7f,00 in=16384 outfile=./SN1234/127_t1.raw >log.txt");
    EXPECT_EQ(page_file_name("SN1234", 5, Fields{"/dev/sda", "8", "x", "t1"}), "./SN1234/005_t1.raw");
    EXPECT_EQ(page_file_name("SN1234", 2, Fields{"/dev/sda", "8", "x"}), "./SN1234/002.raw");  // tag needs 4 entries
}

}  // namespace
}  // namespace dumplog
