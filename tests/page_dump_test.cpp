#include <filesystem>

#include <gtest/gtest.h>

#include "page_pattern.h"
#include "savelog/page_dump.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::message_texts;
using testing::write_file;

struct PageDumpTest : testing::PhaseTest {
    void SetUp() override {
        state.pgm = "./Zerbo/zerbo64";
        state.devInfo = {"/dev/sdc"};
        state.ModelName = "QLX22582";
        state.DriveSN = "SN1234";
        fs::create_directory("SN1234");
    }
};

TEST_F(PageDumpTest, FamilyDriveGets128CommandsEachShownFirstThenPaused) {
    std::size_t shown_before_run = 0;
    host.shell.action = [&](const std::string& line) {
        const auto texts = message_texts(host.captured.out());
        if (!texts.empty() && texts.back() == line) ++shown_before_run;
        return 0;
    };
    dump_pages(state, host);

    ASSERT_EQ(host.shell.lines.size(), 128u);
    EXPECT_EQ(shown_before_run, 128u);
    EXPECT_EQ(host.pauses, std::vector<double>(128, 0.05));
    const auto texts = message_texts(host.captured.out());
    ASSERT_EQ(texts.size(), 129u);
    EXPECT_EQ(texts[0], "===Dump Save Log Start===");
    EXPECT_EQ(host.shell.lines[10],
              "././Zerbo/zerbo64 -d /dev/sdc -f vucmd cdb=1C,BE,10,0a,00 in=16384 outfile=./SN1234/010.raw >log.txt");
    EXPECT_EQ(host.shell.lines[127],
              "././Zerbo/zerbo64 -d /dev/sdc -f vucmd cdb=1C,BE,10,7f,00 in=16384 outfile=./SN1234/127.raw >log.txt");
}

TEST_F(PageDumpTest, StalePageFileIsGoneBeforeItsCommandRuns) {
    write_file("SN1234/000.raw", "stale");
    fs::create_directory("SN1234/001.raw");  // not a regular file: left alone
    bool stale_seen = false;
    host.shell.action = [&](const std::string& line) {
        if (line.find("outfile=./SN1234/000.raw") != std::string::npos) stale_seen = fs::exists("SN1234/000.raw");
        return 0;
    };
    dump_pages(state, host);
    EXPECT_FALSE(stale_seen);
    EXPECT_TRUE(fs::is_directory("SN1234/001.raw"));
}

TEST_F(PageDumpTest, OtherModelsAreRefusedWithOneMessageAndNoModelIsWarned) {
    for (const std::string model : {"NULL", "", "qlx22581", "QLX2258", "QLX22583"}) {
        testing::FakeHost fresh;
        state.ModelName = model;
        dump_pages(state, fresh);
        EXPECT_TRUE(fresh.shell.lines.empty()) << model;
        EXPECT_TRUE(fresh.pauses.empty());
        EXPECT_EQ(message_texts(fresh.captured.out()),
                  std::vector<std::string>{"Model name is not KR4/KRW,can not down savelog!!"});
        EXPECT_EQ(fresh.captured.err(), model == "" || model == "NULL" ? std::string(kNoModelWarning) + "\n" : "")
            << model;
    }
}

TEST_F(PageDumpTest, MissingAndShortPagesAreWarnedOnStandardError) {
    host.shell.action = [](const std::string& line) {
        const auto at = line.find("outfile=") + 8;
        const std::string file = line.substr(at, line.find(' ', at) - at);
        const int page = std::stoi(file.substr(file.size() - 7, 3));
        if (page == 5 || page == 100) return 256;  // the tool failed: no file
        const std::string bytes = sim::sim_page_bytes("ZX", static_cast<unsigned>(page));
        write_file(file, page == 17 ? bytes.substr(0, 4096) : bytes);
        return 0;
    };
    dump_pages(state, host);
    EXPECT_EQ(host.captured.err(),
              "warning: 3 of 128 save-log pages are missing or not 16384 bytes long: 005 017 100\n");
    EXPECT_EQ(message_texts(host.captured.out()).size(), 129u) << "stdout unchanged";
}

TEST_F(PageDumpTest, ToolThatAlwaysFailsStillMakes128Passes) {
    host.shell.action = [](const std::string&) { return 127 << 8; };
    dump_pages(state, host);
    EXPECT_EQ(host.shell.lines.size(), 128u);
    EXPECT_EQ(host.pauses.size(), 128u);
    EXPECT_NE(host.captured.err().find("128 of 128"), std::string::npos);
}

TEST_F(PageDumpTest, TagFromTheFourthEntry) {
    state.devInfo = {"/dev/sda", "8", "x", "t1", "y"};
    EXPECT_EQ(incomplete_pages("SN1234", state.devInfo).size(), 128u);
    write_file("SN1234/042_t1.raw", std::string(16384, 'x'));
    EXPECT_EQ(incomplete_pages("SN1234", state.devInfo).size(), 127u);
}

}  // namespace
}  // namespace dumplog
