#include <gtest/gtest.h>

#include "query/text.h"

namespace dumplog {
namespace {

using Fields = std::vector<std::string>;

TEST(TextTest, BlankPairsAreHalvedInOnePassNotCollapsed) {
    EXPECT_EQ(halve_blank_pairs("a  b"), "a b");
    EXPECT_EQ(halve_blank_pairs("a   b"), "a  b");   // three become two
    EXPECT_EQ(halve_blank_pairs("a    b"), "a  b");  // four become two
    EXPECT_EQ(halve_blank_pairs("a     b"), "a   b");
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
