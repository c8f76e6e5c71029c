#include "analysis/peak_width.h"
#include "analysis/peak_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using xmca::peakWidthAtCursor;

TEST(PeakWidth, TriangleHasCentroidInTheMiddleAndFwhmOne) {
    std::vector<std::int32_t> c(2048, 0);
    const int top = 700;
    c[top - 2] = 0, c[top - 1] = 10, c[top] = 20, c[top + 1] = 10, c[top + 2] = 0;
    for (int cursor : {top - 5, top, top + 5}) {
        const auto r = peakWidthAtCursor(c, 2048, cursor, 0, 2047);
        ASSERT_TRUE(r.found) << cursor;
        EXPECT_EQ(r.peak, top);
        EXPECT_EQ(r.centroid, 700.0f);
        EXPECT_EQ(r.half, 10);
        EXPECT_EQ(r.left, top);
        EXPECT_EQ(r.right, top);
        EXPECT_FLOAT_EQ(r.fwhm, 1.0f);
        EXPECT_FLOAT_EQ(r.crossingDistance(), 2.0f);
        EXPECT_FALSE(r.leftFellBack || r.rightFellBack);
    }
    // Six channels away the search window only reaches the flank; seven, nothing.
    EXPECT_EQ(peakWidthAtCursor(c, 2048, top + 6, 0, 2047).peak, top + 1);
    EXPECT_FALSE(peakWidthAtCursor(c, 2048, top + 7, 0, 2047).found);
}

TEST(PeakWidth, InterpolatesCrossingsOfAnAsymmetricPeak) {
    std::vector<std::int32_t> c(100, 0);
    // half = 50; left crossing between 48 (30) and 49 (70); right between 52 (60) and 53 (20).
    c[47] = 10, c[48] = 30, c[49] = 70, c[50] = 101, c[51] = 90, c[52] = 60, c[53] = 20;
    const auto r = peakWidthAtCursor(c, 100, 50, 0, 99);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.half, 50);  // 101 / 2 truncated
    EXPECT_EQ(r.left, 49);
    EXPECT_EQ(r.right, 52);
    EXPECT_FLOAT_EQ(r.leftFraction, 20.0f / 40.0f);
    EXPECT_FLOAT_EQ(r.rightFraction, 10.0f / 40.0f);
    EXPECT_FLOAT_EQ(r.fwhm, 2.0f + 0.5f + 0.25f);
    const float sum = 30 + 70 + 101 + 90 + 60;
    EXPECT_FLOAT_EQ(r.centroid, (48 * 30.f + 49 * 70.f + 50 * 101.f + 51 * 90.f + 52 * 60.f) / sum);
}

TEST(PeakWidth, PeakSearchTakesFirstOfEqualMaximaAndOnlyPositiveCounts) {
    std::vector<std::int32_t> c(100, -5);
    c[40] = 30, c[43] = 30;
    const auto r = peakWidthAtCursor(c, 100, 42, 0, 99);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.peak, 40);

    std::vector<std::int32_t> empty(100, 0);
    empty[20] = -7;
    EXPECT_FALSE(peakWidthAtCursor(empty, 100, 20, 0, 99).found);
    // Counts past the valid channel count are not part of the spectrum.
    std::vector<std::int32_t> tail(100, 0);
    tail[60] = 50;
    EXPECT_FALSE(peakWidthAtCursor(tail, 58, 60, 0, 57).found);
}

TEST(PeakWidth, EdgesFallBackTwoChannelsInsideTheRange) {
    // A broad hump that never falls to half inside the display range 100..200.
    std::vector<std::int32_t> c(400, 0);
    for (int k = 90; k <= 210; ++k) c[k] = 1000 - (k - 150) * (k - 150) / 10;  // 750 at the range ends, half 500
    const auto r = peakWidthAtCursor(c, 400, 150, 100, 200);
    ASSERT_TRUE(r.found);
    EXPECT_TRUE(r.leftFellBack);
    EXPECT_TRUE(r.rightFellBack);
    EXPECT_EQ(r.left, 102);
    EXPECT_EQ(r.right, 198);
    // Interpolating over the shallow 10-count steps there would put the edges
    // 27 channels outside the range; fallen-back edges stay on their channels.
    EXPECT_EQ(r.leftFraction, 0.0f);
    EXPECT_EQ(r.rightFraction, 0.0f);
    EXPECT_FLOAT_EQ(r.fwhm, 198.0f - 102.0f - 1.0f);
    // One side falling back leaves the other interpolated.
    const auto one = peakWidthAtCursor(c, 400, 150, 100, 400);
    EXPECT_TRUE(one.leftFellBack);
    EXPECT_FALSE(one.rightFellBack);
    EXPECT_GT(one.rightFraction, 0.0f);
    EXPECT_LE(one.rightFraction, 1.0f);

    // The range start and end channels themselves are never tested: a drop to half
    // exactly at channel A still falls back.
    std::vector<std::int32_t> d(400, 0);
    for (int k = 101; k <= 199; ++k) d[k] = 100;
    d[150] = 150;
    const auto e = peakWidthAtCursor(d, 400, 150, 100, 200);
    EXPECT_TRUE(e.leftFellBack);
    EXPECT_TRUE(e.rightFellBack);
    EXPECT_FLOAT_EQ(e.fwhm, 198.0f - 102.0f - 1.0f);  // flat at both edges: zero steps, no division
}

TEST(PeakWidth, ChannelsOutsideTheSpectrumReadAsZero) {
    // A peak at channel 1 with the range starting at 0: the left side runs off the
    // spectrum, whose missing channels count 0.
    std::vector<std::int32_t> c(64, 0);
    c[0] = 40, c[1] = 80, c[2] = 40;
    const auto r = peakWidthAtCursor(c, 64, 0, 0, 63);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.peak, 1);
    EXPECT_FLOAT_EQ(r.centroid, 1.0f);
    // Range start 0: the left search tests nothing and falls back to channel 2.
    EXPECT_TRUE(r.leftFellBack);
    EXPECT_EQ(r.left, 2);

    // Peak at the last channel, cursor past the end, range reaching below 0.
    std::vector<std::int32_t> e(64, 0);
    e[63] = 10, e[62] = 4;
    const auto t = peakWidthAtCursor(e, 64, 66, -10, 80);
    ASSERT_TRUE(t.found);
    EXPECT_EQ(t.peak, 63);
    EXPECT_EQ(t.left, 63);
    EXPECT_EQ(t.right, 63);  // channel 64 reads 0
    EXPECT_FLOAT_EQ(t.rightFraction, 0.5f);
    EXPECT_FLOAT_EQ(t.leftFraction, 5.0f / 6.0f);
}

// Whatever range a caller passes, the edges stay within the spectrum, so the width
// and the fit's window are small numbers (no integer overflow), and a range too
// narrow for the peak gives a width that is not positive: no width.
TEST(PeakWidth, HostileRangesStayWithinTheSpectrum) {
    std::vector<std::int32_t> c(2048, 0);
    for (int k = 600; k <= 720; ++k) c[k] = 3000 - (k - 660) * (k - 660);
    for (const auto& [lo, hi] : {std::pair{0, std::numeric_limits<int>::min()}, std::pair{std::numeric_limits<int>::max(), 0},
                                 std::pair{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}}) {
        const auto r = peakWidthAtCursor(c, 2048, 660, lo, hi);
        ASSERT_TRUE(r.found);
        EXPECT_GE(r.left, -4);
        EXPECT_LE(r.right, 2052);
        EXPECT_LE(std::fabs(r.fwhm), 2060.0f);
        const auto o = xmca::fitPeakAtCursor(c, 2048, 660, lo, hi);
        if (o.status == xmca::PeakFitOutcome::Status::Started) {
            EXPECT_LE(o.start.widthCh, 2048.0f);
        }
    }
    EXPECT_LE(peakWidthAtCursor(c, 2048, 660, 659, 661).fwhm, 0.0f);
    EXPECT_EQ(xmca::fitPeakAtCursor(c, 2048, 660, 659, 661).status, xmca::PeakFitOutcome::Status::NoWidth);
}
