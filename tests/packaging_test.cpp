#include <cerrno>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "savelog/packaging.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::message_texts;
using testing::read_file;
using testing::write_file;
using Lines = std::vector<std::string>;

TEST(PackagingCommandsTest, BlanksExactlyAsTheToolsExpect) {
    EXPECT_EQ(folder_permissions_command("SN1234"), "chmod 777 -R ./SN1234/");
    EXPECT_EQ(archive_command("SN1234"), "tar -jcf SN1234.tar.bz2 SN1234/");
    EXPECT_EQ(archive_permissions_command("SN1234"), "chmod 777 SN1234.tar.bz2 ");
}

struct PackagingTest : testing::PhaseTest {
    void SetUp() override {
        state.DriveSN = "SN1";
        fs::create_directory("SN1");
        for (const char* f : {"in.txt", "log.txt", "CheckModel.txt", "E2.txt", "SMARTInfo.txt", "tmp.txt", "out.bin",
                              "DriveInfo.txt", "other.txt"})
            write_file(f, f);
        archive_exits_with(0, "archive");
    }
    void archive_exits_with(int status, const std::string& bytes = "partial") {
        host.shell.action = [=](const std::string& line) {
            if (line.rfind("tar ", 0) == 0 && !bytes.empty()) write_file("SN1.tar.bz2", bytes);
            return line.rfind("tar ", 0) == 0 ? status : 0;
        };
    }
};

TEST_F(PackagingTest, ReportsMovedScratchDeletedArchiveMadeAndSynced) {
    write_file("SN1/SavelogInfo.txt", "stale");
    host.sync_result = [this](int) {
        EXPECT_EQ(host.shell.lines.size(), 3u) << "synced after the archive's chmod";
        EXPECT_EQ(message_texts(host.captured.out()).back(), "tar file... please wait about 1 minute");
        return 0;
    };
    pack(state, host);
    ASSERT_EQ(host.synced.size(), 2u) << "the archive, then the working folder";
    EXPECT_NE(host.synced[0], state.workdir.fd());
    EXPECT_EQ(host.synced[1], state.workdir.fd());
    for (const char* gone : {"in.txt", "log.txt", "CheckModel.txt", "E2.txt", "SMARTInfo.txt", "tmp.txt", "out.bin",
                             "DriveInfo.txt", "SavelogInfo.txt"})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    EXPECT_TRUE(fs::exists("other.txt"));
    EXPECT_EQ(read_file("SN1/SavelogInfo.txt"), "in.txt");
    EXPECT_EQ(read_file("SN1/E2.txt"), "E2.txt");
    EXPECT_EQ(host.shell.lines, (Lines{"chmod 777 -R ./SN1/", "tar -jcf SN1.tar.bz2 SN1/", "chmod 777 SN1.tar.bz2 "}));
    EXPECT_EQ(message_texts(host.captured.out()), (Lines{"tar file... please wait about 1 minute", "Dump Log done!!"}));
}

TEST_F(PackagingTest, ClashInTheFolderStopsAtThatReport) {
    write_file("SN1/CheckModel.txt", "foreign");
    EXPECT_THROW(pack(state, host), RunError);
    EXPECT_EQ(read_file("SN1/CheckModel.txt"), "foreign");
    EXPECT_EQ(read_file("CheckModel.txt"), "CheckModel.txt");
    EXPECT_TRUE(fs::exists("SN1/SavelogInfo.txt")) << "earlier steps stay done";
    EXPECT_FALSE(fs::exists("log.txt"));
    EXPECT_TRUE(fs::exists("E2.txt"));
    EXPECT_TRUE(host.shell.lines.empty());
}

TEST_F(PackagingTest, LinkedReportIsMovedAndFoldersWithReportNamesAreLeftAlone) {
    fs::remove("log.txt");
    fs::create_directory("log.txt");
    fs::create_directory("elsewhere");
    write_file("elsewhere/E2.txt", "linked report");
    fs::remove("E2.txt");
    fs::create_symlink(fs::absolute("elsewhere/E2.txt"), "E2.txt");
    pack(state, host);
    EXPECT_TRUE(fs::is_directory("log.txt"));
    EXPECT_FALSE(fs::exists(fs::symlink_status("E2.txt"))) << "a link to a regular file counts as present";
    EXPECT_TRUE(fs::is_symlink("SN1/E2.txt")) << "and is moved, as a link, into the folder";
    EXPECT_EQ(read_file("SN1/E2.txt"), "linked report");
}

TEST_F(PackagingTest, FailedArchiveIsAnErrorAndTheIncompleteFileGoes) {
    for (const int status : {2, 1}) {  // 1: tar saw a file change as it read it
        archive_exits_with(status << 8);
        EXPECT_EQ(error_of([&] { pack(state, host); }),
                  "packing failed: tar -jcf SN1.tar.bz2 SN1/ exited with status " + std::to_string(status) +
                      "; the collected files are in ./SN1; the incomplete SN1.tar.bz2 was removed");
        EXPECT_FALSE(fs::exists("SN1.tar.bz2"));
        EXPECT_TRUE(fs::exists("SN1/E2.txt"));
        EXPECT_FALSE(host.shell.lines.back().starts_with("chmod 777 SN1.tar.bz2")) << "no chmod of the archive";
        EXPECT_EQ(message_texts(host.captured.out()).back(), "tar file... please wait about 1 minute");
    }
}

TEST_F(PackagingTest, ArchiveThatCannotBeSyncedIsAFailedPacking) {
    for (const std::size_t failing : {1u, 2u}) {
        host.synced.clear();
        host.sync_result = [&](int) {
            errno = EIO;
            return host.synced.size() == failing ? -1 : 0;
        };
        const std::string reason = error_of([&] { pack(state, host); });
        EXPECT_NE(reason.find(failing == 1 ? "cannot sync SN1.tar.bz2 to disk: Input/output error"
                                           : "cannot sync the working folder to disk: Input/output error"),
                  std::string::npos)
            << reason;
        EXPECT_NE(reason.find("the collected files are in ./SN1; the incomplete SN1.tar.bz2 was removed"),
                  std::string::npos)
            << reason;
        EXPECT_FALSE(fs::exists("SN1.tar.bz2"));
        EXPECT_EQ(message_texts(host.captured.out()).back(), "tar file... please wait about 1 minute");
    }
}

// A signal that cut tar short, or arrived while it ran, makes packing fail
// even when tar's status alone says nothing. In a child: the flag stays set.
TEST_F(PackagingTest, SignalDuringTheArchiveCommandIsAFailedPacking) {
    for (const int tar_status : {SIGTERM, 0}) {
        EXPECT_EXIT(
            {
                install_interrupt_handlers();
                host.shell.action = [&](const std::string& line) {
                    if (!line.starts_with("tar ")) return 0;
                    write_file("SN1.tar.bz2", "cut short");
                    std::raise(SIGTERM);
                    return tar_status;
                };
                const std::string reason = error_of([&] { pack(state, host); });
                std::fprintf(stderr, "%s\n", reason.c_str());
                const bool chmod_ran = host.shell.lines.back().starts_with("chmod 777 SN1");
                std::_Exit(fs::exists("SN1.tar.bz2") || chmod_ran || !host.synced.empty() ? 2 : 1);
            },
            ::testing::ExitedWithCode(1),
            "packing failed: tar -jcf SN1.tar.bz2 SN1/ (was killed by signal 15|exited with status 0) \\(interrupted "
            "by SIGTERM\\); the collected files are in ./SN1; the incomplete SN1.tar.bz2 was removed");
    }
}

TEST_F(PackagingTest, ArchiveOfAnEarlierRunUntouchedWhenTarNeverStarted) {
    write_file("SN1.tar.bz2", "earlier run");
    archive_exits_with(127 << 8, "");
    const std::string reason = error_of([&] { pack(state, host); });
    EXPECT_NE(reason.find("exited with status 127"), std::string::npos);
    EXPECT_NE(reason.find("from an earlier run and was left as it was"), std::string::npos);
    EXPECT_EQ(read_file("SN1.tar.bz2"), "earlier run");
}

}  // namespace
}  // namespace dumplog
