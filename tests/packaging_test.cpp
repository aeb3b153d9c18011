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
    }
    void archive_exits_with(int status, const std::string& bytes = "partial") {
        host.shell.action = [=](const std::string& line) {
            if (line.rfind("tar ", 0) == 0 && !bytes.empty()) write_file("SN1.tar.bz2", bytes);
            return line.rfind("tar ", 0) == 0 ? status : 0;
        };
    }
};

TEST_F(PackagingTest, ReportsMovedScratchDeletedArchiveMade) {
    write_file("SN1/SavelogInfo.txt", "stale");
    pack(state, host);
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
    archive_exits_with(2 << 8);
    try {
        pack(state, host);
        FAIL();
    } catch (const RunError& e) {
        EXPECT_EQ(e.reason(),
                  "packing failed: tar -jcf SN1.tar.bz2 SN1/ exited with status 2; the collected files are in ./SN1; "
                  "the incomplete SN1.tar.bz2 was removed");
    }
    EXPECT_FALSE(fs::exists("SN1.tar.bz2"));
    EXPECT_TRUE(fs::exists("SN1/E2.txt"));
    EXPECT_EQ(host.shell.lines.size(), 2u) << "no chmod of the archive";
    EXPECT_EQ(message_texts(host.captured.out()), Lines{"tar file... please wait about 1 minute"});
}

TEST_F(PackagingTest, FileChangedAsReadCountsAsFailure) {
    archive_exits_with(1 << 8);
    EXPECT_THROW(pack(state, host), RunError);
    EXPECT_FALSE(fs::exists("SN1.tar.bz2"));
}

TEST_F(PackagingTest, ArchiveOfAnEarlierRunUntouchedWhenTarNeverStarted) {
    write_file("SN1.tar.bz2", "earlier run");
    archive_exits_with(127 << 8, "");
    try {
        pack(state, host);
        FAIL();
    } catch (const RunError& e) {
        EXPECT_NE(e.reason().find("exited with status 127"), std::string::npos);
        EXPECT_NE(e.reason().find("from an earlier run and was left as it was"), std::string::npos);
    }
    EXPECT_EQ(read_file("SN1.tar.bz2"), "earlier run");
}

}  // namespace
}  // namespace dumplog
