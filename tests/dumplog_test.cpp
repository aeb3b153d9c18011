#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "run/dumplog.h"
#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;

TEST(ProcessEntryTest, VersionAndHelpActBeforeAnythingElse) {
    testing::ScratchDir dir;
    {
        testing::FakeHost host;
        EXPECT_EQ(run_process({"--version"}, host), 0);
        EXPECT_EQ(host.captured.out(), std::string("dumplog ") + DUMPLOG_VERSION + "\n");
        EXPECT_TRUE(host.shell.lines.empty()) << "no sweep, no listing";
    }
    testing::FakeHost host;
    EXPECT_EQ(run_process({"--help"}, host), 0);
    const std::string help = host.captured.out();
    for (const char* needed : {"dumplog DEVICE PORT", "Zerbo/", "SmartCtl/", "man 8 dumplog"})
        EXPECT_NE(help.find(needed), std::string::npos) << needed;
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(host.captured.err(), "");
}

TEST(ProcessEntryTest, AnyOtherArgumentsGoToTheRun) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-V"}, {"--version", "x"}, {"--help", "--help"}, {"--versions"}}) {
        testing::ScratchDir dir;
        fs::create_directory("Zerbo");
        testing::FakeHost host;  // no typed line: the run ends at the prompt
        run_process(args, host);
        ASSERT_FALSE(host.shell.lines.empty()) << args[0];
        EXPECT_EQ(host.shell.lines[0], kPermissionSweep) << "the sweep is the run's first command";
        EXPECT_EQ(host.captured.out().find("dumplog 1"), std::string::npos);
    }
}

// A signal that lands where a phase checks for none (here the last pause of
// the dump, which this fake host does not watch) is acted on before the next
// phase touches anything. In a child process, since the flag stays set.
TEST(RunSequenceDeathTest, SignalBetweenPhasesStopsBeforeTheNextOnesFileSteps) {
    EXPECT_EXIT(
        {
            testing::ScratchDir dir;
            fs::create_directory("Zerbo");
            install_interrupt_handlers();
            testing::FakeHost host;
            host.shell.action = [](const std::string& line) {
                if (line.find("cdb=21") != std::string::npos)
                    testing::write_file("CheckModel.txt", "0000 51-4C  QLX2 2581 x y\n");
                if (line.find("cdb=2D") != std::string::npos) testing::write_file("E2.txt", "04C0 00  SN77\n");
                return 0;
            };
            int pauses = 0;
            host.host.pause = [&](double) {
                if (++pauses == 128) std::raise(SIGTERM);
            };
            const int status = run_process({"/dev/sdc", "0"}, host);
            std::_Exit(fs::exists("CheckModel.txt") ? status : 3);
        },
        ::testing::ExitedWithCode(1), "dumplog: gathering and packaging failed: interrupted by SIGTERM");
}

// Once every check before "Dump Log done!!" has passed, the archive is whole
// and on disk: a signal that comes as the line is written changes nothing.
TEST(RunSequenceTest, SignalAfterTheLastCheckLeavesTheRunDone) {
    EXPECT_EQ(testing::in_child([] {
                  testing::ScratchDir dir;
                  fs::create_directory("Zerbo");
                  install_interrupt_handlers();
                  testing::FakeHost host;
                  host.shell.action = [](const std::string& line) {
                      if (line.find("cdb=21") != std::string::npos)
                          testing::write_file("CheckModel.txt", "0000 51-4C  HDX7 1200 x y\n");
                      if (line.find("cdb=2D") != std::string::npos) testing::write_file("E2.txt", "04C0 00  SN77\n");
                      if (line.starts_with("tar -jcf "))
                          testing::write_file(line.substr(9, line.find(' ', 9) - 9), "archive");
                      return 0;
                  };
                  host.on_clock = [&] {
                      if (host.synced.size() == 3) std::raise(SIGTERM);
                  };
                  const int status = run_process({"/dev/sdc", "0"}, host);
                  return std::to_string(status) + " " + testing::message_texts(host.captured.out()).back();
              }),
              "0 Dump Log done!!");
}

}  // namespace
}  // namespace dumplog
