#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "run/dumplog.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;

TEST(ProcessEntryTest, OnlyALoneVersionOrHelpIsAnOption) {
    EXPECT_TRUE(option_text({"--version"}).value().starts_with("dumplog "));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-V"}, {"--version", "x"}, {"--versions"}, {}})
        EXPECT_EQ(option_text(args), std::nullopt) << args.size();
}

// A run on /dev/sdc whose vendor tool reports the model row given and the
// serial SN77; tar leaves an archive.
int run_on_sdc(testing::FakeHost& host, const std::string& model_row) {
    fs::create_directory("Zerbo");
    host.shell.action = [model_row](const std::string& line) {
        if (line.find("cdb=21") != std::string::npos) testing::write_file("CheckModel.txt", model_row);
        if (line.find("cdb=2D") != std::string::npos) testing::write_file("E2.txt", "04C0 00  77\n");
        if (line.starts_with("tar -jcf ")) testing::write_file("SN77.tar.bz2.part", "archive");
        return 0;
    };
    return run_process({"/dev/sdc", "0"}, host);
}
const std::string kFamilyRow = "0000 51-4C  QLX2 2581 x y\n", kOtherRow = "0000 51-4C  HDX7 1200 x y\n";

// A signal where no phase checks (the dump's last pause, unwatched here) stops the run before the next phase
// touches anything; after the last check before "Dump Log done!!" the archive is whole and on disk, and a signal
// changes nothing. In a child process, since the flag stays set.
TEST(RunSequenceTest, SignalStopsTheRunBeforeTheNextPhaseButNotAfterTheLastCheck) {
    for (const bool after_last_check : {false, true}) {
        EXPECT_EQ(testing::in_child([&] {
                      testing::ScratchDir dir;
                      std::freopen("err.txt", "w", stderr);
                      install_interrupt_handlers();
                      testing::FakeHost host;
                      host.host.pause = [pauses = 0](double) mutable {
                          if (++pauses == 128) std::raise(SIGTERM);
                      };
                      host.on_clock = [&] {
                          if (host.synced.size() == 3) std::raise(SIGTERM);
                      };
                      const int status = run_on_sdc(host, after_last_check ? kOtherRow : kFamilyRow);
                      std::fflush(stderr);
                      const std::string err = testing::read_file("err.txt");
                      return std::to_string(status) + " " +
                             (err.empty() ? testing::message_texts(host.captured.out()).back()
                                          : (fs::exists("CheckModel.txt") ? "reports in place; " : "") + err);
                  }),
                  after_last_check
                      ? "0 Dump Log done!!"
                      : "1 reports in place; dumplog: gathering and packaging failed: interrupted by SIGTERM\n");
    }
}

TEST(RunSequenceTest, ReportsAnEarlierRunLeftAreNotPackedWithThisDrive) {
    testing::ScratchDir dir;
    for (const char* earlier : {"SMARTInfo.txt", "in.txt", "SavelogInfo.txt"}) testing::write_file(earlier, "sdb's");
    testing::FakeHost host;
    EXPECT_EQ(run_on_sdc(host, kOtherRow), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator("SN77"), fs::directory_iterator()), 2) << "CheckModel.txt, E2.txt";
}

}  // namespace
}  // namespace dumplog
