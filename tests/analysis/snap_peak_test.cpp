#include "analysis/snap_peak.h"

#include <gtest/gtest.h>

#include <vector>

using xmca::snapPeak;

TEST(SnapPeak, CentroidOfSymmetricAndSkewedPeaks) {
    std::vector<std::int32_t> c(2048, 0);
    c[500] = 100;
    c[499] = c[501] = 50;
    auto r = snapPeak(c, 2048, 495);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.peak, 500);
    EXPECT_DOUBLE_EQ(r.centroid, 500.0);
    EXPECT_EQ(r.cursor, 500);

    c[502] = 100;  // peak stays at 500 (first maximum); centroid moves right
    r = snapPeak(c, 2048, 495);
    EXPECT_EQ(r.peak, 500);
    const double expect = (499.0 * 50 + 500.0 * 100 + 501.0 * 50 + 502.0 * 100) / 300.0;
    EXPECT_DOUBLE_EQ(r.centroid, expect);
    EXPECT_EQ(r.cursor, 501);  // 500.83 rounds to 501
}

TEST(SnapPeak, TiesGoToLowestChannelAndSearchIsTwentyOneWide) {
    std::vector<std::int32_t> c(100, 0);
    c[40] = 9;
    c[45] = 9;
    auto r = snapPeak(c, 100, 50);  // 40 .. 60 searched
    EXPECT_EQ(r.peak, 40);
    c[39] = 1000;  // just outside the search
    c[61] = 1000;
    r = snapPeak(c, 100, 50);
    EXPECT_EQ(r.peak, 40);
    // The centroid range (peak +- 5) does reach channel 39 and 45.
    EXPECT_DOUBLE_EQ(r.centroid, (39.0 * 1000 + 40.0 * 9 + 45.0 * 9) / 1018.0);
}

TEST(SnapPeak, AllZeroOrNonPositiveLeavesCursor) {
    std::vector<std::int32_t> c(100, 0);
    auto r = snapPeak(c, 100, 50);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cursor, 50);
    std::vector<std::int32_t> neg(100, -3);
    r = snapPeak(neg, 100, 50);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cursor, 50);
    // A positive peak cancelled by negative neighbours has no centroid.
    neg.assign(100, 0);
    neg[50] = 10;
    neg[48] = -10;
    r = snapPeak(neg, 100, 50);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cursor, 50);
}

TEST(SnapPeak, NearEndsReadsMissingChannelsAsZero) {
    // Counts stored past the channel count must not be seen.
    std::vector<std::int32_t> c(64, 0);
    c[0] = 10;
    c[1] = 10;
    c[40] = 99999;  // beyond channels = 32
    auto r = snapPeak(c, 32, 2);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.peak, 0);
    EXPECT_DOUBLE_EQ(r.centroid, 0.5);
    EXPECT_EQ(r.cursor, 1);
    r = snapPeak(c, 32, 31);  // 21 .. 41 searched, only 21 .. 31 exist
    EXPECT_FALSE(r.found);
    r = snapPeak(c, 32, -1000000);
    EXPECT_FALSE(r.found);
    c[31] = 5;
    r = snapPeak(c, 32, 31);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.cursor, 31);
}

TEST(SnapPeak, LargeCountsDoNotOverflow) {
    std::vector<std::int32_t> c(4096, 0);
    c[4000] = 2000000000;
    c[4001] = 2000000000;
    auto r = snapPeak(c, 4096, 4000);
    ASSERT_TRUE(r.found);
    EXPECT_DOUBLE_EQ(r.centroid, 4000.5);
    EXPECT_EQ(r.cursor, 4001);
}
