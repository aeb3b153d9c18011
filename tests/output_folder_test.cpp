#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "savelog/output_folder.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::message_texts;
using testing::write_file;
using Lines = std::vector<std::string>;

struct OutputFolderTest : testing::PhaseTest {
    std::string run_expecting_error() {
        return error_of([&] { make_output_folder(state, host); });
    }
};

TEST_F(OutputFolderTest, FreshFolderClosedToOthersWhateverTheUmask) {
    state.DriveSN = "SN0000";
    for (const mode_t mask : {0, 077}) {
        const mode_t previous = umask(mask);
        make_output_folder(state, host);
        umask(previous);
        EXPECT_EQ(fs::status("SN0000").permissions(), fs::perms(0755)) << "umask " << std::oct << mask;
    }
    EXPECT_EQ(message_texts(host.captured.out()),
              (Lines{"make dir:./SN0000", "remove dir:./SN0000", "make dir:./SN0000"}));
}

TEST_F(OutputFolderTest, OldFolderIsReplacedAndLinksInsideAreRemovedAsLinks) {
    fs::create_directories("SN1/sub");
    fs::create_directory("keep");
    write_file("keep/precious", "x");
    write_file("SN1/sub/000.raw", "old");
    fs::create_directory_symlink("../keep", "SN1/link");
    state.DriveSN = "SN1";
    make_output_folder(state, host);
    EXPECT_TRUE(fs::is_empty("SN1"));
    EXPECT_EQ(testing::read_file("keep/precious"), "x");
    EXPECT_EQ(message_texts(host.captured.out()), (Lines{"remove dir:./SN1", "make dir:./SN1"}));
    EXPECT_EQ(host.captured.out().rfind("remove dir:./SN1\n", 0), 0u) << "plain line, no timestamp";
}

TEST_F(OutputFolderTest, LinkedFolderIsRefusedAndNothingIsTouched) {
    fs::create_directory("elsewhere");
    write_file("elsewhere/file", "x");
    fs::create_directory_symlink("elsewhere", "SN2");
    state.DriveSN = "SN2";
    EXPECT_NE(run_expecting_error().find("symbolic link"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink("SN2"));
    EXPECT_EQ(testing::read_file("elsewhere/file"), "x");
    EXPECT_EQ(host.captured.out(), "remove dir:./SN2\n");
}

TEST_F(OutputFolderTest, RegularFileOfThatNameMakesCreationFail) {
    write_file("SN3", "");
    state.DriveSN = "SN3";
    EXPECT_EQ(run_expecting_error(), "cannot make ./SN3: File exists");
    EXPECT_EQ(message_texts(host.captured.out()), Lines{"make dir:./SN3"});
}

TEST_F(OutputFolderTest, UnsetSerialFailsBeforeAnythingIsShown) {
    EXPECT_EQ(run_expecting_error(), "name 'DriveSN' is not defined");
    EXPECT_EQ(host.captured.out(), "");
}

TEST_F(OutputFolderTest, SerialUnfitForAPathIsRefusedBeforeAnythingIsTouched) {
    fs::create_directory("victim");
    write_file("victim/file", "x");
    for (const std::string& serial :
         std::vector<std::string>{"SN../victim", "SN/tmp", "SN;rm -rf x", "SN$(id)", "SN***REMOVED***", "SNa\tb",
                                  std::string("SN\0x", 4), "SN\xc3\xa9"}) {
        state.DriveSN = serial;
        const std::string reason = run_expecting_error();
        EXPECT_NE(reason.find("refusing serial number"), std::string::npos) << reason;
    }
    state.DriveSN = "SNa\tb\x01";
    EXPECT_NE(run_expecting_error().find("'SNa\\tb\\x01'"), std::string::npos);
    EXPECT_EQ(host.captured.out(), "");
    EXPECT_EQ(testing::read_file("victim/file"), "x");

    for (const char* fine : {"SN", "SN0000", "SN--", "SNAB.C_D+E-F", "SNab12cd"}) EXPECT_TRUE(is_safe_serial(fine));
}

}  // namespace
}  // namespace dumplog
