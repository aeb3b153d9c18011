#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;

TEST(StartupTest, ToolForTheMachineName) {
    EXPECT_EQ(choose_pgm("x86_64"), "./Zerbo/zerbo64");
    for (const char* other : {"i686", "armv7l", "", "X86_64", "AArch64", "x86_64 "})
        EXPECT_EQ(choose_pgm(other), "./Zerbo/zerbo86") << other;
}

struct StartUpTest : testing::PhaseTest {
    RunState fresh;  // a run's state, without the fixture's descriptor
    std::string refusal() {
        return error_of([&] { start_up(fresh, host); });
    }
};

TEST_F(StartUpTest, FirstRunLocksSweepsAndChoosesTheToolASecondIsRefusedNamingTheHolder) {
    fs::create_directory("Zerbo");
    chmod(".", 0775);  // open to its group is fine
    host.machine = "aarch64";
    start_up(fresh, host);
    EXPECT_EQ(host.shell.lines, std::vector<std::string>{"find ./ -type f -exec chmod 777 {} \\;"});
    EXPECT_EQ(fresh.pgm, "./Zerbo/zerbo64a");
    EXPECT_EQ(fcntl(fresh.workdir.fd(), F_GETFD) & FD_CLOEXEC, 0) << "every program the run starts holds the lock too";

    RunState second;
    prctl(PR_SET_NAME, "a\x1b]0;b\a\r");  // a holder named to write to the terminal
    const std::string reason = error_of([&] { start_up(second, host); });
    prctl(PR_SET_NAME, "unit_tests");
    EXPECT_TRUE(reason.starts_with("another run of dumplog is using the working folder '" +
                                   fs::current_path().string() + "', held by pid " + std::to_string(getpid()) +
                                   " ('a\\x1b]0;b\\x07\\r', user "))
        << reason;
    EXPECT_EQ(host.shell.lines.size(), 1u) << "refused before anything";
    fresh.workdir = FolderLock();
    EXPECT_EQ(error_of([&] { start_up(second, host); }), "no error") << "the lock goes with its descriptor";
    EXPECT_EQ(lock_holders_text({}), "held by a process that could not be named");
    EXPECT_EQ(lock_holders_text({"a", "b", "c"}), "held by a, b and c");
}

TEST_F(StartUpTest, WrongOrOpenFolderIsRefusedBeforeAnything) {
    testing::write_file("Zerbo", "a file is no folder");
    EXPECT_NE(refusal().find("it holds no Zerbo folder"), std::string::npos);
    fs::remove("Zerbo");
    fs::create_directory("tools");
    fs::create_directory_symlink("tools", "Zerbo");  // a link to a folder counts
    chmod(".", 0757);
    EXPECT_NE(refusal().find("it is writable by others, who could plant links there that the run would write through; "
                             "make it private with chmod o-w '"),
              std::string::npos);
    EXPECT_TRUE(host.shell.lines.empty()) << "nothing swept, nothing run";
    EXPECT_EQ(host.captured.out(), "");
}

}  // namespace
}  // namespace dumplog
