#include <gtest/gtest.h>

#include "query/text.h"

namespace dumplog {
namespace {

using Fields = std::vector<std::string>;

TEST(TextTest, BlankPairsAreHalvedInOnePassNotCollapsed) {
    for (const auto& [blanks, halved] : std::vector<std::pair<int, int>>{{2, 1}, {3, 2}, {4, 2}, {5, 3}})
        EXPECT_EQ(halve_blank_pairs("a" + std::string(blanks, ' ') + "b"), "a" + std::string(halved, ' ') + "b");
    EXPECT_EQ(dump_row_fields(" 04C0 x-y.z  \r\n"), (Fields{"04C0", "x", "yz"}));
}

TEST(TextTest, SplittingKeepsEmptyFields) {
    EXPECT_EQ(split_at("", ':'), Fields{""});
    EXPECT_EQ(split_at(":a::", ':'), (Fields{"", "a", "", ""}));
    EXPECT_EQ(strip_ws("\t\v\f\r\n x y \n"), "x y");
    EXPECT_EQ(upper_ascii("ab\xc3\xa9z"), "AB\xc3\xa9Z");
}

TEST(ReportFileTest, OnlyLineFeedsEndLines) {
    EXPECT_EQ(split_lines("a\r\nb\rc\nlast"), (Fields{"a\r\n", "b\rc\n", "last"}));
    EXPECT_TRUE(split_lines("").empty());
}

}  // namespace
}  // namespace dumplog
