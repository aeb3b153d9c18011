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

struct PackagingTest : testing::PhaseTest {
    void SetUp() override {
        state.DriveSN = "SN1";
        fs::create_directory("SN1");
        for (const char* f : {"in.txt", "log.txt", "CheckModel.txt", "E2.txt", "SMARTInfo.txt", "tmp.txt", "out.bin",
                              "DriveInfo.txt", "other.txt"})
            write_file(f, f);
        write_file("SN1.tar.bz2", "earlier run");
        host.shell.action = [](const std::string& line) {
            if (line.starts_with("tar ")) write_file("SN1.tar.bz2.part", "archive");
            return 0;
        };
    }
    // A failed packing leaves the folder, no temporary file and no "done";
    // what it left wrong, or nothing.
    std::string wrongly_left() {
        if (!fs::exists("SN1/E2.txt")) return "the folder lost its reports";
        if (fs::exists("SN1.tar.bz2.part")) return "the temporary archive is left";
        const auto texts = message_texts(host.captured.out());
        if (texts.empty() || texts.back() != "tar file... please wait about 1 minute") return "wrong last message";
        return {};
    }
};

TEST_F(PackagingTest, ReportsMovedScratchDeletedArchiveMadeBesideThenSyncedAndRenamed) {
    write_file("SN1/SavelogInfo.txt", "stale");
    write_file("SN1.tar.bz2.part", "left by a killed run");
    host.shell.action = [](const std::string& line) {
        if (line.starts_with("tar ")) {
            EXPECT_FALSE(fs::exists("SN1.tar.bz2.part")) << "a leftover is removed before tar starts";
            write_file("SN1.tar.bz2.part", "archive");
        }
        return 0;
    };
    Lines synced;  // what was synced, after how many commands, with what under the archive's name
    host.sync_result = [&](int fd) {
        synced.push_back((fd == state.workdir.fd() ? "folder " : fd == host.synced[0] ? "new archive " : "? ") +
                         std::to_string(host.shell.lines.size()) + " " + read_file("SN1.tar.bz2"));
        return 0;
    };
    pack(state, host);
    EXPECT_EQ(synced, (Lines{"new archive 2 earlier run", "new archive 3 archive", "folder 3 archive"}))
        << "synced before its rename, then after the archive's chmod, then the folder";
    EXPECT_FALSE(fs::exists("SN1.tar.bz2.part"));
    for (const char* gone : {"in.txt", "log.txt", "CheckModel.txt", "E2.txt", "SMARTInfo.txt", "tmp.txt", "out.bin",
                             "DriveInfo.txt", "SavelogInfo.txt"})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    EXPECT_TRUE(fs::exists("other.txt"));
    EXPECT_EQ(read_file("SN1/SavelogInfo.txt"), "in.txt");
    EXPECT_EQ(read_file("SN1/E2.txt"), "E2.txt");
    EXPECT_EQ(host.shell.lines,
              (Lines{"chmod 777 -R ./SN1/", "tar -jcf SN1.tar.bz2.part SN1/", "chmod 777 SN1.tar.bz2 "}));
    EXPECT_EQ(message_texts(host.captured.out()), (Lines{"tar file... please wait about 1 minute", "Dump Log done!!"}));
}

TEST_F(PackagingTest, ClashInTheFolderStopsAtThatReport) {
    write_file("SN1/CheckModel.txt", "foreign");
    EXPECT_THROW(pack(state, host), RunError);
    EXPECT_EQ(read_file("SN1/CheckModel.txt"), "foreign");
    EXPECT_EQ(read_file("CheckModel.txt"), "CheckModel.txt");
    EXPECT_TRUE(fs::exists("SN1/SavelogInfo.txt")) << "earlier steps stay done";
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

// Before the rename a failure leaves the earlier archive as it was; after it,
// the new archive is not yet on disk and goes. A signal at any point before
// "Dump Log done!!" is a failure too, even when every command and sync went
// well. In a child process, since the signal flag stays set.
const std::string kFolder = "; the collected files are in ./SN1";
const std::string kPartGone = "; the incomplete SN1.tar.bz2.part was removed";
const std::string kEarlierKept = "; the earlier SN1.tar.bz2 was left as it was";
const std::string kArchiveGone = "; the incomplete SN1.tar.bz2 was removed";

TEST_F(PackagingTest, FailedUnsyncedOrStoppedArchiveIsAFailedPacking) {
    struct Case {
        int tar_status;
        std::string tar_writes;
        std::string event;  // "EIO sync N" or "TERM sync N" (N-th sync), or "TERM " and a command's start
        std::string reason;
    };
    const std::string tar = "packing failed: tar -jcf SN1.tar.bz2.part SN1/ ";
    const std::string stopped = "packing failed: the run was stopped before the archive was done (interrupted by SIGTERM)";
    const std::string cannot_sync = "packing failed: cannot sync ";
    for (const Case& c : std::vector<Case>{
             {2 << 8, "partial", "", tar + "exited with status 2" + kFolder + kPartGone + kEarlierKept},
             {127 << 8, "", "", tar + "exited with status 127" + kFolder + kEarlierKept},
             {0, "archive", "EIO sync 1",
              cannot_sync + "SN1.tar.bz2.part to disk: Input/output error" + kFolder + kPartGone + kEarlierKept},
             {0, "archive", "EIO sync 2", cannot_sync + "SN1.tar.bz2 to disk: Input/output error" + kFolder + kArchiveGone},
             {0, "archive", "EIO sync 3",
              cannot_sync + "the working folder to disk: Input/output error" + kFolder + kArchiveGone},
             {0, "archive", "TERM tar -jcf",
              tar + "exited with status 0 (interrupted by SIGTERM)" + kFolder + kPartGone + kEarlierKept},
             {0, "archive", "TERM sync 1", stopped + kFolder + kPartGone + kEarlierKept},
             {0, "archive", "TERM chmod 777 SN1.tar.bz2", stopped + kFolder + kArchiveGone},
             {0, "archive", "TERM sync 2", stopped + kFolder + kArchiveGone},
             {0, "archive", "TERM sync 3", stopped + kFolder + kArchiveGone},
         }) {
        EXPECT_EQ(testing::in_child([&] {
                      install_interrupt_handlers();
                      write_file("SN1.tar.bz2", "earlier run");
                      host.shell.action = [&](const std::string& line) {
                          if (c.event.starts_with("TERM ") && line.starts_with(c.event.substr(5))) std::raise(SIGTERM);
                          if (!line.starts_with("tar ")) return 0;
                          if (!c.tar_writes.empty()) write_file("SN1.tar.bz2.part", c.tar_writes);
                          return c.tar_status;
                      };
                      host.sync_result = [&](int) {
                          const std::string sync = "sync " + std::to_string(host.synced.size());
                          if (c.event == "TERM " + sync) std::raise(SIGTERM);
                          errno = EIO;
                          return c.event == "EIO " + sync ? -1 : 0;
                      };
                      const std::string error = error_of([&] { pack(state, host); });
                      const bool earlier = fs::exists("SN1.tar.bz2") && read_file("SN1.tar.bz2") == "earlier run";
                      return wrongly_left() + error + (earlier ? kEarlierKept : fs::exists("SN1.tar.bz2") ? "!" : "");
                  }),
                  c.reason + (c.reason.ends_with(kEarlierKept) ? kEarlierKept : ""))
            << c.event;
    }
}

}  // namespace
}  // namespace dumplog
