#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "run/timestamp.h"

namespace dumplog {
namespace {

// 2026-12-05 21:03:07 UTC
constexpr double kSecond = 1796504587.0;

class TimestampTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(TimestampTest, WholeSecondsAndTruncatedMilliseconds) {
    EXPECT_EQ(format_timestamp(kSecond), "[2026-12-05 21:03:07.000]");
    EXPECT_EQ(format_timestamp(kSecond + 0.0456), "[2026-12-05 21:03:07.045]");  // truncated, not 046
    EXPECT_EQ(format_timestamp(kSecond + 0.5), "[2026-12-05 21:03:07.500]");
    EXPECT_EQ(format_timestamp(kSecond).size(), 25u);
}

TEST_F(TimestampTest, LastMicrosecondOfASecondNeverShows1000) {
    EXPECT_EQ(format_timestamp(kSecond + 0.999999), "[2026-12-05 21:03:07.999]");
}

TEST_F(TimestampTest, DoublePrecisionMayShowOneMillisecondLess) {
    // The fraction of a double near 1.8e9 s is not exact: .044 comes out as
    // 43.9999..., and truncation keeps 043. Never above the true figure.
    EXPECT_EQ(format_timestamp(1796504587.044), "[2026-12-05 21:03:07.043]");
    EXPECT_EQ(format_timestamp(1796504587.123), "[2026-12-05 21:03:07.122]");
    EXPECT_EQ(format_timestamp(1796504587.045), "[2026-12-05 21:03:07.045]");
}

TEST_F(TimestampTest, MidnightTurnsTheDate) {
    const double last = 1798761599.0;  // 2026-12-31 23:59:59
    EXPECT_EQ(format_timestamp(last + 0.999), "[2026-12-31 23:59:59.999]");
    EXPECT_EQ(format_timestamp(last + 1.0), "[2027-01-01 00:00:00.000]");
}

TEST_F(TimestampTest, LocalTimeZoneOfTheProcess) {
    setenv("TZ", "Asia/Tokyo", 1);  // UTC+9, no daylight saving
    tzset();
    EXPECT_EQ(format_timestamp(kSecond), "[2026-12-06 06:03:07.000]");
}

}  // namespace
}  // namespace dumplog
