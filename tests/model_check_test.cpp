#include <filesystem>

#include <gtest/gtest.h>

#include "query/model_check.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

const std::string kModelRow = "0000  51 4C 58 32 20 32 35 38-31 20 00 00 00 20 00 00  QLX2 2581 ... ..\n";

TEST(ModelParserTest, WorkedExampleLineRuleAndFieldsCountedFromTheEnd) {
    EXPECT_TRUE(is_model_line("00001 whatever"));
    EXPECT_FALSE(is_model_line(" 0000  51") || is_model_line("0010  00"));
    for (const auto& [line, model] : std::vector<std::pair<std::string, std::string>>{
             {kModelRow, "QLX22581"},
             {kModelRow.substr(0, kModelRow.size() - 1) + "\r\n", "QLX22581"},
             {"0000 QLX2   2581 x y\n", "2581"},  // three blanks leave two around an empty field
             {"0000 .... .... .... ....\n", "NULL"},
             {"0000 a b\n", "b0000"},
             {"0000 a", "0000a"},
         })
        EXPECT_EQ(model_from_line(line), model) << line;
    EXPECT_THROW(model_from_line("0000\n"), RunError);
    EXPECT_THROW(model_from_line("0000...\n"), RunError);
}

using CheckModelTest = testing::PhaseTest;

TEST_F(CheckModelTest, ShowsEveryMatchAndTheLastOneDecides) {
    state.pgm = "./Zerbo/zerbo64";
    state.devInfo = {"/dev/sda", "8"};
    host.shell.action = [](const std::string&) {
        testing::write_file("CheckModel.txt", "Offset  00 01\n" + kModelRow + "0010  00\n0000 QLX2 2582 x y\n");
        return 0;
    };
    check_model(state, host);
    EXPECT_EQ(state.ModelName, "QLX22582");
    EXPECT_EQ(testing::message_texts(host.captured.out()),
              (std::vector<std::string>{"././Zerbo/zerbo64 -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt",
                                        "ModelName:QLX22581", "ModelName:QLX22582"}));
}

TEST_F(CheckModelTest, NoMatchLeavesTheNameEmptyAndNoReportIsAnError) {
    state.devInfo = {"/dev/sdc"};
    state.ModelName = "stale";
    testing::write_file("CheckModel.txt", "");
    check_model(state, host);
    EXPECT_EQ(state.ModelName, "");
    EXPECT_EQ(testing::message_texts(host.captured.out()).size(), 1u);

    std::remove("CheckModel.txt");
    EXPECT_EQ(error_of([&] { check_model(state, host); }), "cannot open CheckModel.txt: No such file or directory");
    std::filesystem::create_directory("CheckModel.txt");
    EXPECT_EQ(error_of([&] { check_model(state, host); }), "cannot read CheckModel.txt: Is a directory");
}

}  // namespace
}  // namespace dumplog
