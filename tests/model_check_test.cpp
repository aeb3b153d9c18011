#include <filesystem>

#include <gtest/gtest.h>

#include "query/model_check.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

using testing::message_texts;
using testing::write_file;
using Lines = std::vector<std::string>;

const std::string kModelRow = "0000  51 4C 58 32 20 32 35 38-31 20 00 00 00 20 00 00  QLX2 2581 ... ..\n";

TEST(ModelParserTest, WorkedExampleAndTheLineRule) {
    EXPECT_TRUE(is_model_line(kModelRow));
    EXPECT_EQ(model_from_line(kModelRow), "QLX22581");
    EXPECT_TRUE(is_model_line("00001 whatever"));
    EXPECT_FALSE(is_model_line(" 0000  51"));
    EXPECT_FALSE(is_model_line("0010  00"));

    std::string crlf = kModelRow;
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(model_from_line(crlf), "QLX22581") << "a carriage return never reaches a field";
}

TEST(ModelParserTest, BlankRunsAreHalvedNotCollapsed) {
    // Three or four blanks leave two, so an empty field sits between them and
    // the fields picked from the end move: collapsing every run would give QLX22581.
    EXPECT_EQ(model_from_line("0000 QLX2   2581 x y\n"), "2581");
    EXPECT_EQ(model_from_line("0000 QLX2    2581 x y\n"), "2581");
    EXPECT_EQ(model_from_line("0000 QLX2  2581 x y\n"), "QLX22581");
}

TEST(ModelParserTest, ShortLinesCountFieldsFromTheEnd) {
    EXPECT_EQ(model_from_line("0000 .... .... .... ....\n"), "NULL");
    EXPECT_EQ(model_from_line("0000 a b\n"), "b0000");
    EXPECT_EQ(model_from_line("0000 a"), "0000a");
    EXPECT_THROW(model_from_line("0000\n"), RunError);
    EXPECT_THROW(model_from_line("0000...\n"), RunError);
}

struct CheckModelTest : testing::PhaseTest {
    void SetUp() override {
        state.pgm = "./Zerbo/zerbo64";
        state.devInfo = {"/dev/sda", "8"};
    }
};

TEST_F(CheckModelTest, ShowsEveryMatchAndTheLastOneDecides) {
    host.shell.action = [](const std::string&) {
        write_file("CheckModel.txt", "Offset  00 01\n" + kModelRow + "0010  00\n" +
                                         "0000  51 4C 58 32 20 32 35 38-32 20 00 00 00 20 00 00  QLX2 2582 ... ..\n");
        return 0;
    };
    check_model(state, host);
    EXPECT_EQ(state.ModelName, "QLX22582");
    EXPECT_EQ(message_texts(host.captured.out()),
              (Lines{"././Zerbo/zerbo64 -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt", "ModelName:QLX22581",
                     "ModelName:QLX22582"}));
}

TEST_F(CheckModelTest, NoMatchLeavesTheNameEmptyAndNoReportIsAnError) {
    state.ModelName = "stale";
    write_file("CheckModel.txt", "");
    check_model(state, host);
    EXPECT_EQ(state.ModelName, "");
    EXPECT_EQ(message_texts(host.captured.out()).size(), 1u);

    std::remove("CheckModel.txt");
    EXPECT_EQ(error_of([&] { check_model(state, host); }), "cannot open CheckModel.txt: No such file or directory");
    std::filesystem::create_directory("CheckModel.txt");
    EXPECT_EQ(error_of([&] { check_model(state, host); }), "cannot read CheckModel.txt: Is a directory");
}

}  // namespace
}  // namespace dumplog
