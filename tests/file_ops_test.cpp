#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "savelog/file_ops.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::write_file;

TEST(FileOpsTest, MoveAcrossFileSystemsKeepsModeAndTimes) {
    testing::ScratchDir dir;
    struct stat here, there;
    if (stat(".", &here) != 0 || stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const std::string name = "dumplog-move-" + std::to_string(getpid()), source = "/dev/shm/" + name;
    write_file(source, "report");
    chmod(source.c_str(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);

    fs::create_directory("SN1");
    move_into_folder(source, "./SN1");
    struct stat moved;
    ASSERT_EQ(stat(("SN1/" + name).c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 07777, 0640u);
    EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(fs::exists(source));
}

}  // namespace
}  // namespace dumplog
