#include <filesystem>

#include <gtest/gtest.h>

#include "page_pattern.h"
#include "query/command_lines.h"
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

TEST_F(PageDumpTest, FamilyDriveGets128CommandsEachShownFirstThenPausedWithTheStalePageGone) {
    write_file("SN1234/000.raw", "stale");
    fs::create_directory("SN1234/001.raw");  // not a regular file: left alone
    std::size_t ready = 0;                   // commands shown just before they ran, the stale page gone
    host.shell.action = [&](const std::string& line) {
        const auto texts = message_texts(host.captured.out());
        if (!texts.empty() && texts.back() == line && !fs::exists("SN1234/000.raw")) ++ready;
        return 0;
    };
    dump_pages(state, host);
    ASSERT_EQ(ready, 128u);
    EXPECT_EQ(host.shell.lines.back(), page_command(state.pgm, state.devInfo, 127, "./SN1234/127.raw"));
    EXPECT_EQ(host.pauses, std::vector<double>(128, 0.05));
    EXPECT_TRUE(fs::is_directory("SN1234/001.raw"));
}

TEST_F(PageDumpTest, OtherModelsAreRefusedWithOneMessageAndNoModelIsWarned) {
    for (const std::string model : {"NULL", "", "qlx22581", "QLX2258", "QLX22583"}) {
        testing::FakeHost fresh;
        state.ModelName = model;
        dump_pages(state, fresh);
        EXPECT_EQ(message_texts(fresh.captured.out()),
                  std::vector<std::string>{"Model name is not KR4/KRW,can not down savelog!!"});
        EXPECT_EQ(fresh.captured.err(), model == "" || model == "NULL" ? std::string(kNoModelWarning) + "\n" : "")
            << model;
    }
}

TEST_F(PageDumpTest, MissingAndShortOrLongPagesAreWarnedOnStandardError) {
    host.shell.action = [](const std::string& line) {
        const auto at = line.find("outfile=") + 8;
        const std::string file = line.substr(at, line.find(' ', at) - at);
        const int page = std::stoi(file.substr(file.size() - 7, 3));
        if (page == 5 || page == 100) return 256;  // the tool failed: no file
        const std::string bytes = sim::sim_page_bytes("ZX", static_cast<unsigned>(page));
        write_file(file, page == 17 ? bytes.substr(0, 4096) : page == 18 ? bytes + "x" : bytes);
        return 0;
    };
    dump_pages(state, host);
    EXPECT_EQ(host.captured.err(),
              "warning: 4 of 128 save-log pages are missing or not 16384 bytes long: 005 017 018 100\n");
    EXPECT_EQ(incomplete_pages("SN1234", {"/dev/sda", "8", "x", "t1"}).size(), 128u) << "tagged pages have own names";
}

}  // namespace
}  // namespace dumplog
