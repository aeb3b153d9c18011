#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "run/run_error.h"
#include "savelog/file_ops.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::write_file;

TEST(FileOpsTest, OnlyRegularFilesAndLinksToThemArePresent) {
    testing::ScratchDir dir;
    write_file("real", "x");
    fs::create_symlink("real", "link");
    fs::create_symlink("gone", "dangling");
    fs::create_directory("folder");
    EXPECT_TRUE(is_regular_file("real"));
    EXPECT_TRUE(is_regular_file("link"));
    EXPECT_FALSE(is_regular_file("dangling"));
    EXPECT_FALSE(is_regular_file("folder"));
    EXPECT_FALSE(is_regular_file("absent"));
    delete_if_present("folder");
    EXPECT_TRUE(fs::is_directory("folder"));
}

TEST(FileOpsTest, MoveIntoFolderNeverReplaces) {
    testing::ScratchDir dir;
    fs::create_directory("SN1");
    write_file("E2.txt", "new");
    write_file("SN1/E2.txt", "old");
    EXPECT_THROW(move_into_folder("./E2.txt", "./SN1"), RunError);
    EXPECT_EQ(testing::read_file("SN1/E2.txt"), "old");
    EXPECT_EQ(testing::read_file("E2.txt"), "new");

    fs::remove("SN1/E2.txt");
    move_into_folder("./E2.txt", "./SN1");
    EXPECT_EQ(testing::read_file("SN1/E2.txt"), "new");
    EXPECT_FALSE(fs::exists("E2.txt"));
}

TEST(FileOpsTest, MoveAcrossFileSystemsKeepsModeAndTimes) {
    testing::ScratchDir dir;
    const fs::path other = "/dev/shm";
    struct stat here, there;
    if (stat(".", &here) != 0 || stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const std::string source = (other / ("dumplog-move-" + std::to_string(getpid()))).string();
    write_file(source, "report");
    chmod(source.c_str(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);

    fs::create_directory("SN1");
    const std::string name = fs::path(source).filename();
    move_into_folder(source, "./SN1");
    struct stat moved;
    ASSERT_EQ(stat(("SN1/" + name).c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 07777, 0640u);
    EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(fs::exists(source));
}

}  // namespace
}  // namespace dumplog
