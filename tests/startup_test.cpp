#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "run/run_error.h"
#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;

TEST(StartupTest, ToolForTheMachineName) {
    EXPECT_EQ(choose_pgm("x86_64"), "./Zerbo/zerbo64");
    EXPECT_EQ(choose_pgm("aarch64"), "./Zerbo/zerbo64a");
    for (const char* other : {"i686", "armv7l", "", "X86_64", "AArch64", "x86_64 "})
        EXPECT_EQ(choose_pgm(other), "./Zerbo/zerbo86") << other;
}

TEST(WorkingFolderTest, NeedsZerboAndNoWriteBitForOthers) {
    EXPECT_EQ(working_folder_refusal("'/w'", 040755, true), std::nullopt);
    EXPECT_EQ(working_folder_refusal("'/w'", 040775, true), std::nullopt) << "group-writable is fine";
    EXPECT_EQ(working_folder_refusal("'/w'", 040700, true), std::nullopt);
    for (const mode_t open_to_all : {040777, 041777, 040757, 041757}) {
        const auto refusal = working_folder_refusal("'/w'", open_to_all, true);
        ASSERT_TRUE(refusal.has_value()) << std::oct << open_to_all;
        EXPECT_NE(refusal->find("'/w': it is writable by others"), std::string::npos) << *refusal;
        EXPECT_NE(refusal->find("chmod o-w '/w'"), std::string::npos) << *refusal;
    }
    const auto wrong = working_folder_refusal("'/root'", 040700, false);
    ASSERT_TRUE(wrong.has_value());
    EXPECT_NE(wrong->find("'/root': it holds no Zerbo folder"), std::string::npos) << *wrong;
    EXPECT_NE(wrong->find("Zerbo/ and SmartCtl/"), std::string::npos) << *wrong;
}

struct StartUpTest : testing::PhaseTest {
    RunState fresh;  // a run's state, without the fixture's descriptor
    std::string refusal() {
        return error_of([&] { start_up(fresh, host); });
    }
};

TEST_F(StartUpTest, ChecksAndLocksTheFolderThenSweepsThenChoosesTheTool) {
    fs::create_directory("Zerbo");
    host.machine = "aarch64";
    start_up(fresh, host);
    EXPECT_EQ(host.shell.lines, std::vector<std::string>{"find ./ -type f -exec chmod 777 {} \\;"});
    EXPECT_EQ(fresh.pgm, "./Zerbo/zerbo64a");
    EXPECT_EQ(host.captured.out(), "") << "start-up prints nothing of its own";

    // The lock is on the folder itself: another descriptor of it cannot take it.
    const int other = open(fs::current_path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(fcntl(fresh.workdir.fd(), F_GETFD) & FD_CLOEXEC, 0) << "every program the run starts holds it too";
    fresh.workdir = FolderLock();
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "released with the descriptor";
    close(other);
}

TEST_F(StartUpTest, SecondRunInTheSameFolderIsRefusedBeforeAnythingNamingWhoHoldsIt) {
    fs::create_directory("Zerbo");
    RunState first;
    start_up(first, host);
    host.shell.lines.clear();
    const std::string reason = refusal();
    EXPECT_EQ(reason.rfind("another run of dumplog is using the working folder '" + fs::current_path().string() +
                               "', held by pid " + std::to_string(getpid()) + " (unit_tests, user ",
                           0),
              0u)
        << reason;
    EXPECT_TRUE(host.shell.lines.empty());
    EXPECT_EQ(fresh.workdir.fd(), -1);

    EXPECT_EQ(lock_holders_text({}), "held by a process that could not be named");
    EXPECT_EQ(lock_holders_text({"a", "b", "c"}), "held by a, b and c");
}

TEST_F(StartUpTest, WrongOrOpenFolderIsRefusedBeforeAnything) {
    EXPECT_NE(refusal().find("it holds no Zerbo folder"), std::string::npos);
    testing::write_file("Zerbo", "a file is no folder");
    EXPECT_NE(refusal().find("it holds no Zerbo folder"), std::string::npos);
    fs::remove("Zerbo");

    fs::create_directory("tools");
    fs::create_directory_symlink("tools", "Zerbo");  // a link to a folder counts
    chmod(".", 01777);
    EXPECT_NE(refusal().find("it is writable by others"), std::string::npos);
    EXPECT_TRUE(host.shell.lines.empty()) << "nothing swept, nothing run";
    EXPECT_EQ(host.captured.out(), "");

    chmod(".", 0775);
    start_up(fresh, host);
    EXPECT_EQ(host.shell.lines.size(), 1u);
}

}  // namespace
}  // namespace dumplog
