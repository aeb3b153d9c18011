#include <gtest/gtest.h>

#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(StartupTest, ToolForTheMachineName) {
    EXPECT_EQ(choose_pgm("x86_64"), "./Zerbo/zerbo64");
    EXPECT_EQ(choose_pgm("aarch64"), "./Zerbo/zerbo64a");
    for (const char* other : {"i686", "armv7l", "", "X86_64", "AArch64", "x86_64 "})
        EXPECT_EQ(choose_pgm(other), "./Zerbo/zerbo86") << other;
}

using StartUpTest = testing::PhaseTest;

TEST_F(StartUpTest, SweepsFirstThenChoosesTheTool) {
    host.machine = "aarch64";
    start_up(state, host);
    EXPECT_EQ(host.shell.lines, std::vector<std::string>{"find ./ -type f -exec chmod 777 {} \\;"});
    EXPECT_EQ(state.pgm, "./Zerbo/zerbo64a");
    EXPECT_EQ(host.captured.out(), "") << "start-up prints nothing of its own";
}

}  // namespace
}  // namespace dumplog
