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
        tar_exits_with(0, "archive");
    }
    void tar_exits_with(int status, const std::string& bytes = "partial") {
        host.shell.action = [=](const std::string& line) {
            if (!line.starts_with("tar ")) return 0;
            if (!bytes.empty()) write_file("SN1.tar.bz2.part", bytes);
            return status;
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
    std::vector<std::pair<std::size_t, std::string>> seen_at_sync;  // commands run, archive bytes
    host.sync_result = [&](int) {
        seen_at_sync.emplace_back(host.shell.lines.size(), read_file("SN1.tar.bz2"));
        return 0;
    };
    pack(state, host);
    EXPECT_EQ(seen_at_sync,
              (std::vector<std::pair<std::size_t, std::string>>{{2, "earlier run"}, {3, "archive"}, {3, "archive"}}))
        << "synced before its rename, then after the archive's chmod";
    ASSERT_EQ(host.synced.size(), 3u);
    EXPECT_EQ(host.synced[0], host.synced[1]) << "the new archive, through its rename";
    EXPECT_EQ(host.synced[2], state.workdir.fd()) << "then the working folder";
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

// Before the rename a failure leaves the earlier archive as it was; after it,
// the new archive is not yet on disk and goes.
const std::string kFolder = "; the collected files are in ./SN1";
const std::string kPartGone = "; the incomplete SN1.tar.bz2.part was removed";
const std::string kEarlierKept = "; the earlier SN1.tar.bz2 was left as it was";
const std::string kArchiveGone = "; the incomplete SN1.tar.bz2 was removed";

TEST_F(PackagingTest, FailedOrUnsyncedArchiveIsAFailedPacking) {
    struct Case {
        int tar_status;
        std::string tar_writes;
        std::size_t failing_sync;  // 1: the new archive, 2: it again after its chmod, 3: the folder; 0: none
        std::string reason;
    };
    const std::string tar = "packing failed: tar -jcf SN1.tar.bz2.part SN1/ ";
    for (const Case& c : std::vector<Case>{
             {2 << 8, "partial", 0, tar + "exited with status 2" + kFolder + kPartGone + kEarlierKept},
             {1 << 8, "partial", 0, tar + "exited with status 1" + kFolder + kPartGone + kEarlierKept},
             {127 << 8, "", 0, tar + "exited with status 127" + kFolder + kEarlierKept},
             {0, "archive", 1,
              "packing failed: cannot sync SN1.tar.bz2.part to disk: Input/output error" + kFolder + kPartGone +
                  kEarlierKept},
             {0, "archive", 2,
              "packing failed: cannot sync SN1.tar.bz2 to disk: Input/output error" + kFolder + kArchiveGone},
             {0, "archive", 3,
              "packing failed: cannot sync the working folder to disk: Input/output error" + kFolder + kArchiveGone},
         }) {
        write_file("SN1.tar.bz2", "earlier run");
        tar_exits_with(c.tar_status, c.tar_writes);
        host.synced.clear();
        host.sync_result = [&](int) {
            errno = EIO;
            return host.synced.size() == c.failing_sync ? -1 : 0;
        };
        EXPECT_EQ(error_of([&] { pack(state, host); }), c.reason);
        EXPECT_EQ(wrongly_left(), "");
        EXPECT_EQ(fs::exists("SN1.tar.bz2"), c.reason.ends_with(kEarlierKept));
        if (c.reason.ends_with(kEarlierKept)) {
            EXPECT_EQ(read_file("SN1.tar.bz2"), "earlier run");
        }
        if (c.failing_sync == 0) {
            EXPECT_FALSE(host.shell.lines.back().starts_with("chmod 777 SN1.tar.bz2"));
        }
    }
}

// A signal that arrives at any point before "Dump Log done!!" makes packing
// fail, even when every command and sync went well. In a child: the flag stays set.
TEST_F(PackagingTest, SignalBeforeDoneIsAFailedPacking) {
    const std::string stopped =
        "packing failed: the run was stopped before the archive was done (interrupted by SIGTERM)";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"tar -jcf", "packing failed: tar -jcf SN1.tar.bz2.part SN1/ exited with status 0 (interrupted by SIGTERM)" +
                         kFolder + kPartGone + kEarlierKept},
        {"sync 1", stopped + kFolder + kPartGone + kEarlierKept},
        {"chmod 777 SN1.tar.bz2", stopped + kFolder + kArchiveGone},
        {"sync 2", stopped + kFolder + kArchiveGone},
        {"sync 3", stopped + kFolder + kArchiveGone},
    };
    for (const auto& [where, reason] : cases) {
        EXPECT_EQ(testing::in_child([&, where = where] {
                      install_interrupt_handlers();
                      host.shell.action = [&](const std::string& line) {
                          if (line.starts_with("tar ")) write_file("SN1.tar.bz2.part", "archive");
                          if (line.starts_with(where)) std::raise(SIGTERM);
                          return 0;
                      };
                      host.sync_result = [&](int) {
                          if (where == "sync " + std::to_string(host.synced.size())) std::raise(SIGTERM);
                          return 0;
                      };
                      const std::string error = error_of([&] { pack(state, host); });
                      return wrongly_left() + error;
                  }),
                  reason)
            << where;
    }
}

}  // namespace
}  // namespace dumplog
