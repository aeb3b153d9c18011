#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "query/smart_serial.h"
#include "query/text.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
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

struct ReadSmartSerialTest : testing::PhaseTest {
    void SetUp() override {
        state.devInfo = {"/dev/sda", "8"};
        state.ModelName = "QLX22581";
    }
    void report(const std::string& bytes) {
        host.shell.action = [=](const std::string&) {
            write_file("SMARTInfo.txt", bytes);
            return 0;
        };
    }
};

TEST_F(ReadSmartSerialTest, OnlyForTheFamilyAndShownAfterItRan) {
    state.ModelName = "qlx22581";
    state.DriveSN = "SN0000";
    read_smart_serial(state, host);
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(host.captured.out(), "");

    state.ModelName = "QLX22581";
    host.shell.action = [this](const std::string&) {
        EXPECT_EQ(host.captured.out(), "") << "message written before the command ran";
        write_file("SMARTInfo.txt", "Serial Number:    Z4K1 A0B9C7\nSerial Number: later\n");
        return 0;
    };
    read_smart_serial(state, host);
    EXPECT_EQ(state.DriveSN, "SNZ4K1A0B9C7");
    EXPECT_EQ(message_texts(host.captured.out()),
              (Lines{"././SmartCtl/smartctl -a -d megaraid,8 /dev/sda  > SMARTInfo.txt", "DriveSN:SNZ4K1A0B9C7"}));
}

TEST_F(ReadSmartSerialTest, ReportIsReadOnlyForTheMissingSerial) {
    state.DriveSN = "SNS3K7N019X200";
    report("Serial Number: OTHER\n");
    read_smart_serial(state, host);
    EXPECT_EQ(state.DriveSN, "SNS3K7N019X200");
    EXPECT_EQ(host.shell.lines.size(), 1u);
}

TEST_F(ReadSmartSerialTest, UnsetSerialFailsAfterTheCommandWasShown) {
    host.machine = "aarch64";
    report("Serial Number: X\n");
    EXPECT_EQ(error_of([&] { read_smart_serial(state, host); }), "name 'DriveSN' is not defined");
    EXPECT_EQ(message_texts(host.captured.out()),
              Lines{"././SmartCtl/smartctla -a -d megaraid,8 /dev/sda  > SMARTInfo.txt"});
}

// Real captured smartctl reports, read as bytes. The corpus lives beside the
// project; a clone standing alone skips these tests.
const fs::path kCorpus = SMARTCTL_CORPUS;

class SmartctlCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus / "reports"))
            GTEST_SKIP() << "smartctl report corpus not found at " << kCorpus
                         << " (it sits beside the project, in ../shared/data/smartctl)";
    }
    static std::optional<std::string> serial_of(const std::string& name) {
        return smart_serial_from_report(read_report_lines((kCorpus / "reports" / name).string()));
    }
};

TEST_F(SmartctlCorpusTest, EveryReportGivesNothingOrASerialOfTheRightForm) {
    // An independent statement of the matching rule, to cross-check the parser.
    const std::regex rule("[^ \\t\\n\\v\\f\\r]erial Number:");
    int reports = 0, serials = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus / "reports")) {
        const auto lines = read_report_lines(entry.path().string());
        const auto serial = smart_serial_from_report(lines);
        bool any = false;
        for (const auto& line : lines) any = any || std::regex_search(line, rule);
        ++reports;
        EXPECT_EQ(serial.has_value(), any) << entry.path();
        if (!serial) continue;
        ++serials;
        EXPECT_TRUE(serial->starts_with("SN")) << entry.path();
        EXPECT_EQ(serial->find_first_of(" :\n"), std::string::npos) << entry.path() << ": " << *serial;
    }
    EXPECT_GT(reports, 0);
    std::printf("corpus: %d reports, %d with a serial line\n", reports, serials);
}

TEST_F(SmartctlCorpusTest, HandCheckedReports) {
    EXPECT_EQ(serial_of("0001.txt"), "SNBTWA517503PD120CGN");  // trailing blanks on the line
    EXPECT_EQ(serial_of("0015.txt"), "SNLKC125R001176");       // CRLF line ends
    EXPECT_EQ(serial_of("0021.txt"), "SN220312800929");        // one blank after the colon
    EXPECT_EQ(serial_of("0100.txt"), "SN--");                  // masked by the source
    EXPECT_EQ(serial_of("0059.txt"), "SN***REMOVED***");
    EXPECT_EQ(serial_of("0002.txt"), std::nullopt);  // SAS style "Serial number:"
    EXPECT_EQ(serial_of("0008.txt"), std::nullopt);
}

}  // namespace
}  // namespace dumplog
