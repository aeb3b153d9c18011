#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "savelog/output_folder.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::write_file;

struct OutputFolderTest : testing::PhaseTest {
    std::string run_expecting_error() {
        return error_of([&] { make_output_folder(state, host); });
    }
};

// The second run finds the first one's folder, with a link to a folder
// outside deep in it: the link goes as a link.
TEST_F(OutputFolderTest, FolderClosedToOthersWhateverTheUmaskAndAnOldOneReplaced) {
    state.DriveSN = "SN0000";
    fs::create_directory("keep");
    write_file("keep/precious", "x");
    for (const mode_t mask : {0, 077}) {
        if (fs::exists("SN0000")) {
            fs::create_directories("SN0000/sub");
            fs::create_directory_symlink("../../keep", "SN0000/sub/link");
        }
        const mode_t previous = umask(mask);
        make_output_folder(state, host);
        umask(previous);
        EXPECT_EQ(fs::status("SN0000").permissions(), fs::perms(0755)) << "umask " << std::oct << mask;
        EXPECT_TRUE(fs::is_empty("SN0000"));
    }
    EXPECT_EQ(read_file("keep/precious"), "x");
    EXPECT_EQ(testing::message_texts(host.captured.out()),
              (std::vector<std::string>{"make dir:./SN0000", "remove dir:./SN0000", "make dir:./SN0000"}));
    EXPECT_NE(host.captured.out().find("\nremove dir:./SN0000\n"), std::string::npos) << "plain line, no timestamp";
}

TEST_F(OutputFolderTest, LinkOrFileOfTheFoldersNameIsRefusedAndNothingIsTouched) {
    fs::create_directory("elsewhere");
    write_file("elsewhere/file", "x");
    fs::create_directory_symlink("elsewhere", "SN2");
    state.DriveSN = "SN2";
    EXPECT_NE(run_expecting_error().find("symbolic link"), std::string::npos);
    EXPECT_EQ(read_file("elsewhere/file"), "x");
    write_file("SN3", "");
    state.DriveSN = "SN3";
    EXPECT_EQ(run_expecting_error(), "cannot make ./SN3: File exists");
}

TEST_F(OutputFolderTest, UnsetOrUnfitSerialIsRefusedBeforeAnythingIsTouched) {
    EXPECT_EQ(run_expecting_error(), "name 'DriveSN' is not defined");
    fs::create_directories("SN/victim");  // so SN/../victim names it
    fs::create_directory("victim");
    write_file("victim/file", "x");
    for (const std::string& serial :
         std::vector<std::string>{"SN/../victim", "SN/tmp", "SN;rm -rf x", "SN$(id)", "SN***REMOVED***", "SNa\tb",
                                  std::string("SN\0x", 4), "SN\xc3\xa9", "SN" + std::string(241, '0')}) {
        state.DriveSN = serial;
        EXPECT_NE(run_expecting_error().find("refusing serial number"), std::string::npos) << serial;
    }
    state.DriveSN = "SNa\tb\x01";
    EXPECT_NE(run_expecting_error().find("'SNa\\tb\\x01'"), std::string::npos);
    EXPECT_EQ(host.captured.out(), "");
    EXPECT_EQ(read_file("victim/file"), "x");
    for (const char* fine : {"SN", "SNAZaz09._+-"}) EXPECT_TRUE(is_safe_serial(fine));
    state.DriveSN = "SN" + std::string(240, '0');  // the longest whose SN....tar.bz2.part fits in 255 bytes
    EXPECT_EQ(run_expecting_error(), "no error");
}

}  // namespace
}  // namespace dumplog
