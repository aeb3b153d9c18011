// Real captured smartctl reports, read as bytes. The corpus lives beside the
// project; a clone standing alone skips these tests.
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "query/report_file.h"
#include "query/smart_report.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
const fs::path kCorpus = SMARTCTL_CORPUS;

std::optional<std::string> serial_of(const std::string& name) {
    return smart_serial_from_report(read_report_lines((kCorpus / "reports" / name).string()));
}

class SmartctlCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus / "reports"))
            GTEST_SKIP() << "smartctl report corpus not found at " << kCorpus
                         << " (it sits beside the project, in ../shared/data/smartctl)";
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
        EXPECT_EQ(serial->rfind("SN", 0), 0u) << entry.path();
        EXPECT_EQ(serial->find_first_of(" :\n"), std::string::npos) << entry.path() << ": " << *serial;
    }
    EXPECT_EQ(reports, 234);
    EXPECT_GT(serials, 150);
    std::printf("corpus: %d reports, %d with a serial line\n", reports, serials);
}

TEST_F(SmartctlCorpusTest, HandCheckedReports) {
    EXPECT_EQ(serial_of("0001.txt"), "SNBTWA517503PD120CGN");  // trailing blanks on the line
    EXPECT_EQ(serial_of("0015.txt"), "SNLKC125R001176");       // CRLF line ends
    EXPECT_EQ(serial_of("0021.txt"), "SN220312800929");        // one blank after the colon
    EXPECT_EQ(serial_of("0100.txt"), "SN--");                  // masked by the source
    EXPECT_EQ(serial_of("0059.txt"), "SN***REMOVED***");
    EXPECT_EQ(serial_of("0002.txt"), std::nullopt);            // SAS style "Serial number:"
    EXPECT_EQ(serial_of("0008.txt"), std::nullopt);
}

}  // namespace
}  // namespace dumplog
