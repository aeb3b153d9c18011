#include <gtest/gtest.h>

#include "run/dumplog.h"
#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(ProcessEntryTest, VersionAndHelpActBeforeAnythingElse) {
    testing::ScratchDir dir;
    {
        testing::FakeHost host;
        EXPECT_EQ(run_process({"--version"}, host.seams), 0);
        EXPECT_EQ(host.captured.out(), std::string("dumplog ") + DUMPLOG_VERSION + "\n");
        EXPECT_TRUE(host.shell.lines.empty()) << "no sweep, no listing";
    }
    testing::FakeHost host;
    EXPECT_EQ(run_process({"--help"}, host.seams), 0);
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
        testing::FakeHost host;  // no typed line: the run ends at the prompt
        run_process(args, host.seams);
        ASSERT_FALSE(host.shell.lines.empty()) << args[0];
        EXPECT_EQ(host.shell.lines[0], kPermissionSweep) << "the sweep is the run's first command";
        EXPECT_EQ(host.captured.out().find("dumplog 1"), std::string::npos);
    }
}

}  // namespace
}  // namespace dumplog
