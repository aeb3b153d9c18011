#include <algorithm>
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

Lines entries(const fs::path& folder) {
    Lines names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::ranges::sort(names);
    return names;
}

struct PackagingTest : testing::PhaseTest {
    void SetUp() override {
        state.DriveSN = "SN1";
        fs::create_directory("SN1");
        for (const char* f : {"in.txt", "log.txt", "CheckModel.txt", "E2.txt", "SMARTInfo.txt", "tmp.txt", "out.bin",
                              "DriveInfo.txt", "other.txt"})
            write_file(f, f);
        write_file("SN1.tar.bz2", "earlier run");
        host.shell.action = [](const std::string& line) {  // tar must find no leftover of a killed run
            if (line.starts_with("tar "))
                write_file("SN1.tar.bz2.part", fs::exists("SN1.tar.bz2.part") ? "?" : "archive");
            return 0;
        };
    }
};

TEST_F(PackagingTest, ReportsAndLinksToThemMovedScratchDeletedArchiveMadeBesideThenSyncedAndRenamed) {
    write_file("SN1/SavelogInfo.txt", "stale");
    fs::remove("log.txt");
    fs::create_directory("log.txt");  // not a file: left alone
    fs::create_directory("elsewhere");
    fs::create_symlink("elsewhere/outside", "SN1.tar.bz2.part");  // planted: never written through
    fs::rename("E2.txt", "elsewhere/E2.txt");
    fs::create_symlink(fs::absolute("elsewhere/E2.txt"), "E2.txt");  // moved as a link
    Lines synced;  // what was synced, after how many commands, with what under the archive's name
    host.sync_result = [&](int fd) {
        const std::string what = fd == state.workdir.fd() ? "folder " : fd == host.synced[0] ? "new archive " : "? ";
        synced.push_back(what + std::to_string(host.shell.lines.size()) + " " + read_file("SN1.tar.bz2"));
        return 0;
    };
    pack(state, host);
    EXPECT_EQ(synced, (Lines{"new archive 2 earlier run", "new archive 3 archive", "folder 3 archive"}))
        << "synced before its rename, then after the archive's chmod, then the folder";
    EXPECT_EQ(entries("."), (Lines{"SN1", "SN1.tar.bz2", "elsewhere", "log.txt", "other.txt"}));
    EXPECT_EQ(entries("elsewhere"), Lines{"E2.txt"});
    EXPECT_EQ(entries("SN1"), (Lines{"CheckModel.txt", "E2.txt", "SMARTInfo.txt", "SavelogInfo.txt"}));
    EXPECT_EQ(read_file("SN1/SavelogInfo.txt"), "in.txt");
    EXPECT_EQ(host.shell.lines,
              (Lines{"chmod 777 -R ./SN1/", "tar -jcf SN1.tar.bz2.part SN1/", "chmod 777 SN1.tar.bz2 "}));
    EXPECT_EQ(message_texts(host.captured.out()), (Lines{"tar file... please wait about 1 minute", "Dump Log done!!"}));
}

TEST_F(PackagingTest, ClashInTheFolderStopsAtThatReport) {
    write_file("SN1/CheckModel.txt", "foreign");
    EXPECT_THROW(pack(state, host), RunError);
    EXPECT_EQ(read_file("SN1/CheckModel.txt"), "foreign");
    EXPECT_EQ(read_file("CheckModel.txt"), "CheckModel.txt");
}

// Before the rename a failure leaves the earlier archive as it was; after it,
// the new archive is whole and stays. A signal before "Dump Log done!!" is a
// failure even when every command and sync went well. A folder where tar would
// write stops it. In a child process, since the signal flag stays set.
TEST_F(PackagingTest, FailedUnsyncedOrStoppedArchiveIsAFailedPacking) {
    const std::string kept = "; the earlier SN1.tar.bz2 was left as it was";
    const std::string in_folder = "; the collected files are in ./SN1";
    const std::string before_rename = in_folder + "; the incomplete SN1.tar.bz2.part was removed" + kept;
    const std::string after_rename = "; SN1.tar.bz2 is whole, but its name or mode may not yet be on disk" + in_folder;
    const std::string tar = "packing failed: tar -jcf SN1.tar.bz2.part SN1/ exited with status ";
    const std::string stop = "packing failed: the run was stopped before the archive was ";
    const std::string term = " (interrupted by SIGTERM)";
    const std::string no_sync = "packing failed: cannot sync ", eio = " to disk: Input/output error";
    // The event: tar's "exit N" or "kill" (by SIGTERM), "EIO sync N" or "TERM sync N" at the N-th sync, or "TERM "
    // and a command's start.
    for (const auto& [event, reason] : std::vector<std::pair<std::string, std::string>>{
             {"exit 2", tar + "2" + before_rename},
             {"exit 127", tar + "127" + in_folder + kept},
             {"kill", "packing failed: tar -jcf SN1.tar.bz2.part SN1/ was killed by signal 15" + before_rename},
             {"EIO sync 1", no_sync + "SN1.tar.bz2.part" + eio + before_rename},
             {"EIO sync 2", no_sync + "SN1.tar.bz2" + eio + after_rename},
             {"EIO sync 3", no_sync + "the working folder" + eio + after_rename},
             {"TERM tar -jcf", tar + "0 (interrupted by SIGTERM)" + before_rename},
             {"TERM sync 1", stop + "done" + term + before_rename},
             {"TERM chmod 777 SN1.tar.bz2", stop + "on disk" + term + after_rename},
             {"TERM sync 2", stop + "on disk" + term + after_rename},
             {"TERM sync 3", stop + "on disk" + term + after_rename},
             {"folder", "packing failed: SN1.tar.bz2.part is a folder where tar would write the archive; it was left "
                        "as it is (remove it by hand)" + in_folder + kept},  // last: the folder stays
         }) {
        const std::string outcome = testing::in_child([&] {
            install_interrupt_handlers();
            write_file("SN1.tar.bz2", "earlier run");  // each child starts where the one before left the folder
            if (event == "folder") fs::create_directory("SN1.tar.bz2.part");
            host.shell.action = [&](const std::string& line) {
                if (event.starts_with("TERM ") && line.starts_with(event.substr(5))) std::raise(SIGTERM);
                if (!line.starts_with("tar ")) return 0;
                const int status = event.starts_with("exit ") ? std::stoi(event.substr(5)) << 8 : event == "kill" ? 15 : 0;
                if (status != 127 << 8) write_file("SN1.tar.bz2.part", "archive");  // 127: tar was not found
                return status;
            };
            host.sync_result = [&](int) {
                const std::string sync = "sync " + std::to_string(host.synced.size());
                if (event == "TERM " + sync) std::raise(SIGTERM);
                errno = EIO;
                return event == "EIO " + sync ? -1 : 0;
            };
            std::string left = error_of([&] { pack(state, host); });
            // The folder keeps its reports, no temporary file stays, and "done" is never said.
            if (!fs::exists("SN1/E2.txt") || fs::is_regular_file("SN1.tar.bz2.part") ||
                host.captured.out().find("Dump Log done!!") != std::string::npos)
                left += " and wrongly left";
            return left + " / " + (fs::exists("SN1.tar.bz2") ? read_file("SN1.tar.bz2") : "no archive");
        });
        EXPECT_EQ(outcome, reason + " / " + (reason.ends_with(kept) ? "earlier run" : "archive")) << event;
    }
}

}  // namespace
}  // namespace dumplog
