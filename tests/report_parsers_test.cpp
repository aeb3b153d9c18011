#include <gtest/gtest.h>

#include "query/e2_report.h"
#include "query/model_report.h"
#include "query/report_file.h"
#include "query/smart_report.h"
#include "run/run_error.h"

namespace dumplog {
namespace {

const std::string kModelRow = "0000  51 4C 58 32 20 32 35 38-31 20 00 00 00 20 00 00  QLX2 2581 ... ..\n";
const std::string kE2Row = "04C0  73 33 6B 37 6E 30 31 39-78 32 30 30 00 00 00 00  s3k7n019x200....\n";

TEST(ModelReportTest, WorkedExampleAndTheLineRule) {
    EXPECT_TRUE(is_model_line(kModelRow));
    EXPECT_EQ(model_from_line(kModelRow), "QLX22581");
    EXPECT_TRUE(is_model_line("00001 whatever"));
    EXPECT_FALSE(is_model_line(" 0000  51"));
    EXPECT_FALSE(is_model_line("0010  00"));
}

TEST(ModelReportTest, ShortLinesCountFieldsFromTheEnd) {
    EXPECT_EQ(model_from_line("0000 .... .... .... ....\n"), "NULL");
    EXPECT_EQ(model_from_line("0000 a b\n"), "b0000");
    EXPECT_EQ(model_from_line("0000 a"), "0000a");
    EXPECT_THROW(model_from_line("0000\n"), RunError);
    EXPECT_THROW(model_from_line("0000...\n"), RunError);
}

TEST(ModelReportTest, CarriageReturnNeverReachesAField) {
    std::string crlf = kModelRow;
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(model_from_line(crlf), "QLX22581");
}

TEST(E2ReportTest, WorkedExample) {
    EXPECT_TRUE(is_e2_serial_line(kE2Row));
    EXPECT_EQ(e2_serial_from_line(kE2Row), "SNS3K7N019X200");
    EXPECT_FALSE(is_e2_serial_line(" 04C0  73"));
    EXPECT_FALSE(is_e2_serial_line("04c0  73"));
}

TEST(E2ReportTest, NormalisationCases) {
    EXPECT_EQ(e2_serial_from_line("04C0\n"), "SN04C0");
    EXPECT_EQ(e2_serial_from_line("04C0  00 00-00 00  ................\n"), "SN0000");
    EXPECT_EQ(e2_serial_from_line("04C0 xx AB-\n"), "SN0000");      // trailing dash: empty last field
    EXPECT_EQ(e2_serial_from_line("04C0 xx AB-123\n"), "SN123");
    EXPECT_EQ(e2_serial_from_line("04C0 xx sn123\n"), "SNSN123");
    EXPECT_EQ(e2_serial_from_line("04C0 xx   AB\n"), "SNAB");        // three blanks: 04C0, xx, "", AB
    EXPECT_EQ(e2_serial_from_line("04C0 xx \xc3\xa9t\xc3\xa9\n"), "SN\xc3\xa9T\xc3\xa9");  // ASCII upper case only
}

TEST(SmartReportTest, WorkedExampleAndTheMatchRule) {
    EXPECT_EQ(smart_serial_from_line("Serial Number:    Z4K1 A0B9C7\n"), "SNZ4K1A0B9C7");
    EXPECT_TRUE(is_smart_serial_line("Serial Number:    X\n"));
    EXPECT_TRUE(is_smart_serial_line("  Serial Number: X\n"));
    EXPECT_TRUE(is_smart_serial_line("LU WWN Xerial Number: X\n"));  // any non-white byte before "erial"
    EXPECT_FALSE(is_smart_serial_line("Serial number:    X\n"));      // SAS style
    EXPECT_FALSE(is_smart_serial_line("erial Number: X\n"));
    EXPECT_FALSE(is_smart_serial_line("a erial Number: X\n"));
    EXPECT_FALSE(is_smart_serial_line("a\terial Number: X\n"));
}

TEST(SmartReportTest, FieldBetweenTheColonsBlanksRemovedCaseKept) {
    EXPECT_EQ(smart_serial_from_line("Serial Number:\n"), "SN");
    EXPECT_EQ(smart_serial_from_line("Serial Number: AB:CD\n"), "SNAB");
    EXPECT_EQ(smart_serial_from_line("Serial Number: ab12cd\r\n"), "SNab12cd");
    EXPECT_EQ(smart_serial_from_line("Serial Number: SN123\n"), "SNSN123");
    EXPECT_EQ(smart_serial_from_line("Serial Number: a\tb\n"), "SNa\tb");
}

TEST(SmartReportTest, FirstMatchingLineDecides) {
    const auto lines = split_lines("Device Model: X\nSerial Number: FIRST\nSerial Number: SECOND\n");
    EXPECT_EQ(smart_serial_from_report(lines), std::optional<std::string>("SNFIRST"));
    EXPECT_EQ(smart_serial_from_report(split_lines("Serial number: sas\n")), std::nullopt);
}

TEST(ReportFileTest, OnlyLineFeedsEndLines) {
    EXPECT_EQ(split_lines("a\r\nb\rc\nlast"), (std::vector<std::string>{"a\r\n", "b\rc\n", "last"}));
    EXPECT_TRUE(split_lines("").empty());
    try {
        read_report_lines("/nonexistent/CheckModel.txt");
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.reason(), "cannot open /nonexistent/CheckModel.txt: No such file or directory");
    }
}

}  // namespace
}  // namespace dumplog
