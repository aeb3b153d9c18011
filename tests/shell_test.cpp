#include <filesystem>

#include <gtest/gtest.h>

#include "query/shell.h"
#include "run/run_error.h"
#include "test_support.h"

namespace dumplog {
namespace {

TEST(ShellTest, FlushesTheConsoleFirstAndRefusesNulBytes) {
    testing::ScratchDir dir;
    std::FILE* out = std::fopen("console.txt", "w+");
    Console console(out, stderr, stdin, [] { return 0.0; });
    SystemShell shell(console);
    console.plain("before");
    EXPECT_EQ(shell.run("echo after >>console.txt"), 0);
    EXPECT_EQ(testing::read_file("console.txt"), "before\nafter\n");
    EXPECT_NE(shell.run("exit 3"), 0);
    EXPECT_THROW(shell.run(std::string("true\0; touch x", 14)), RunError);
    EXPECT_FALSE(std::filesystem::exists("x"));
    std::fclose(out);
}

}  // namespace
}  // namespace dumplog
