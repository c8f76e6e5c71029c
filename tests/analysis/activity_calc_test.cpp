// The arithmetic of the activity computation on plain arrays: compression,
// smoothing and its spike rule, background scaling, window sums, baseline and
// activities; the characteristic limits on hand-worked numbers.
#include <gtest/gtest.h>

#include <cmath>

#include <numeric>
#include <vector>

#include "analysis/activity_calc.h"
#include "analysis/char_limits.h"

namespace xmca {
namespace {

using Counts = std::vector<std::int32_t>;

TEST(ActivityCompress, PairsSumAndUpperHalfClears) {
    Counts s(2048);
    std::iota(s.begin(), s.end(), 1);
    activity::compress(s, 2048);
    EXPECT_EQ(s[0], 1 + 2);
    EXPECT_EQ(s[1023], 2047 + 2048);
    EXPECT_EQ(s[1024], 0);
    EXPECT_EQ(s[2047], 0);
    // A 1024-channel spectrum fills 512; channels past n are not touched.
    Counts t(2048, 5);
    activity::compress(t, 1024);
    EXPECT_EQ(t[511], 10);
    EXPECT_EQ(t[512], 0);
    EXPECT_EQ(t[1023], 0);
    EXPECT_EQ(t[1024], 5);
    // Sums that would overflow saturate instead of wrapping negative.
    Counts big{INT32_MAX, 5, 1, 1};
    activity::compress(big, 4);
    EXPECT_EQ(big[0], INT32_MAX);
}

TEST(ActivitySmooth, SpikeLevelledWithLargerDifferenceNeighbourRightOnTies) {
    Counts work(64);
    // Spike 150 on a flat 100 with equal differences: the right neighbour takes half.
    Counts tie(64, 100);
    tie[20] = 150;
    activity::levelSpikes(tie, work, 64);
    EXPECT_EQ(tie[19], 100);
    EXPECT_EQ(tie[20], 125);
    // The levelled pair then still stands out and is levelled on to the right.
    EXPECT_EQ(tie[21], 112);
    EXPECT_EQ(tie[22], 112);
    EXPECT_EQ(std::accumulate(tie.begin(), tie.end(), 0LL), 64 * 100 + 50 - 1);

    // Left difference larger: the left neighbour is levelled.
    Counts left(64, 100);
    left[20] = 150;
    left[21] = 120;
    activity::levelSpikes(left, work, 64);
    EXPECT_EQ(left[19], 125);
    EXPECT_EQ(left[20], 125);
    EXPECT_EQ(left[21], 120);
}

TEST(ActivitySmooth, SmallValuesAndEdgeChannelsAreLeftAlone) {
    Counts work(64);
    // A kernel of exactly 1 never levels: the lone 2 stays as it is in pass 1.
    Counts low(64, 0);
    low[20] = 2;
    activity::levelSpikes(low, work, 64);
    EXPECT_EQ(low[20], 2);
    EXPECT_EQ(work[20], 1);

    // Channels 0-9 and the last five keep their values; the rest is smoothed.
    Counts s(64, 100);
    for (int i = 0; i < 10; ++i) s[i] = 100 + 50 * (i % 2);
    s[9] = 400;  // a spike whose larger difference is to channel 10's left
    s[10] = 20;
    for (int i = 59; i < 64; ++i) s[i] = 7000 + i;
    s[30] = 180;
    const Counts before = s;
    Counts w(64, -1);  // scratch holding stale values from an earlier spectrum
    const int last = activity::smooth(s, w, 64);
    EXPECT_EQ(last, 58);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s[i], before[i]) << i;
    for (int i = 59; i < 64; ++i) EXPECT_EQ(s[i], 7000 + i) << i;
    EXPECT_NE(s[10], 20);
    EXPECT_EQ(s[20], 100);  // flat stays flat
    EXPECT_LT(s[30], 180);
    EXPECT_GT(s[30], 100);
    // Too short to smooth: nothing changes.
    Counts shortSpec(15, 3);
    shortSpec[12] = 50;
    EXPECT_EQ(activity::smooth(shortSpec, w, 15), 9);
    EXPECT_EQ(shortSpec[12], 50);
}

TEST(ActivityBackground, ScaleFactorAndTruncation) {
    EXPECT_EQ(*activity::backgroundScale(36000, 36000), 1.0f);
    EXPECT_EQ(*activity::backgroundScale(36000, 72000), 0.5f);
    EXPECT_FALSE(activity::backgroundScale(0, 36000));
    EXPECT_FALSE(activity::backgroundScale(36000, 0));
    EXPECT_FALSE(activity::backgroundScale(-5, 36000));

    const Counts sample{10, 10, 10, 10, 99};
    Counts bg{7, 8, 0, 31, 50};
    Counts net(5, -99);
    activity::subtractBackground(sample, bg, net, 4, 0.5f);
    EXPECT_EQ(bg, (Counts{3, 4, 0, 15, 50}));     // halved and truncated; past n untouched
    EXPECT_EQ(net, (Counts{7, 6, 10, -5, -99}));  // nets may be negative
    Counts same{7, 8, 0, 31};
    Counts net1(4);
    activity::subtractBackground(sample, same, net1, 4, 1.0f);
    EXPECT_EQ(same, (Counts{7, 8, 0, 31}));
    EXPECT_EQ(net1, (Counts{3, 2, 10, -21}));
}

TEST(ActivityWindows, SumsIncludeBothEndsAndBaseline) {
    Counts s(100, 0);
    s[40] = 3;
    s[50] = 4;
    s[39] = 1000;
    s[51] = 1000;
    EXPECT_EQ(activity::windowSum(s, 100, 40, 50), 7.0f);
    EXPECT_EQ(activity::windowSum(s, 100, 50, 40), 0.0f);    // empty
    EXPECT_EQ(activity::windowSum(s, 45, 40, 60), 3.0f);     // past n reads 0
    EXPECT_EQ(activity::windowSum(s, 100, -20, 39), 1000.0f);

    Counts b(100, 0);
    b[7] = 3; b[8] = 6; b[9] = 9;        // left mean 6
    b[21] = 12; b[22] = 0; b[23] = 0;    // right mean 4
    EXPECT_FLOAT_EQ(activity::trapezoidBaseline(b, 100, 10, 20), (6.0f + 4.0f) * 10.0f * 0.5f);
    // Near the ends the missing channels count as 0.
    Counts e(10, 9);
    EXPECT_FLOAT_EQ(activity::trapezoidBaseline(e, 10, 1, 8), (3.0f + 3.0f) * 7.0f * 0.5f);
}

TEST(ActivityFigures, ValuesSigmasAndSigns) {
    const auto f = activity::activities(3600, 4900, 360, 900, 36, 100, 3600.0f);
    ASSERT_TRUE(f);
    EXPECT_FLOAT_EQ((*f)[0].bqPerKg, 106.73f);
    EXPECT_FLOAT_EQ((*f)[0].sigma, 70.0f / 3600.0f * 106.73f);
    EXPECT_FLOAT_EQ((*f)[1].bqPerKg, 16.012f);
    EXPECT_FLOAT_EQ((*f)[2].bqPerKg, 106.73f - 16.012f);
    // Cs-137 is the difference of two disjoint windows: both sigmas add in quadrature.
    const float s134 = 30.0f / 3600.0f * 160.12f;
    EXPECT_FLOAT_EQ((*f)[2].sigma, std::sqrt((*f)[0].sigma * (*f)[0].sigma + s134 * s134));
    // Exact nets keep their fraction: 0.4 of a count is not dropped.
    const auto x = activity::activities(0.4, 1, 0, 0, 0, 0, 1.0f);
    ASSERT_TRUE(x);
    EXPECT_FLOAT_EQ((*x)[0].bqPerKg, 0.4f * 106.73f);
    EXPECT_DOUBLE_EQ(activity::exactNet(10, 7, 3000, 360000), 10 - 7.0 / 120.0);
    EXPECT_EQ(activity::roundCount(-2.5), -3);
    EXPECT_EQ(activity::roundCount(2.49), 2);
    EXPECT_FLOAT_EQ((*f)[3].bqPerKg, 19.0f - 16.012f);
    EXPECT_FLOAT_EQ((*f)[3].sigma, 10.0f / 3600.0f * 1900.0f);
    // Negative nets give negative activities; sigma never goes negative, and K-40
    // does not show below zero.
    const auto n = activity::activities(-720, 0, -36, -5, 0, 0, 3600.0f);
    ASSERT_TRUE(n);
    EXPECT_LT((*n)[0].bqPerKg, 0.0f);
    EXPECT_EQ((*n)[0].sigma, 0.0f);
    EXPECT_EQ((*n)[1].sigma, 0.0f);
    EXPECT_EQ((*n)[3].bqPerKg, (*n)[1].bqPerKg < 0 ? -(*n)[1].bqPerKg : 0.0f);
    EXPECT_FALSE(activity::activities(1, 1, 1, 1, 1, 1, 0.0f));
}

TEST(CharacteristicLimits, HandWorkedWindow) {
    // n_g 1000 in 1000 s, n_0 500 in 2000 s, w 100.
    const auto l = limits::characteristicLimits({1000, 1000, 500, 2000, 100, 3.0});
    ASSERT_TRUE(l);
    EXPECT_NEAR(l->uncertainty, 3.3541019662, 1e-9);
    EXPECT_NEAR(l->decisionThreshold, 3.1855288023, 1e-9);
    EXPECT_NEAR(l->detectionLimit, 6.6416601045, 1e-9);
    EXPECT_NEAR(l->lowerLimitOfMeasurement, 6.2768773799, 1e-9);
    EXPECT_TRUE(l->belowDecisionThreshold);  // 3.0 < y*
    EXPECT_FALSE(limits::characteristicLimits({1000, 0, 500, 2000, 100, 3.0}));
    EXPECT_FALSE(limits::characteristicLimits({1000, 1000, -1, 2000, 100, 3.0}));
}

TEST(CharacteristicLimits, CountTimeNeededMeetsTheLimit) {
    const auto t = limits::countTimeNeeded(25.0, 106.73, 0.25, 2000.0);
    ASSERT_TRUE(t);
    EXPECT_NEAR(*t, 81.0942372155, 1e-6);
    // Counting that long gives exactly the required lower limit of measurement.
    const auto l = limits::characteristicLimits({0.0, *t, 0.25 * 2000.0, 2000.0, 106.73, 0.0});
    EXPECT_NEAR(l->lowerLimitOfMeasurement, 25.0, 1e-9);
    // A background too high for its own counting time: no sample time helps.
    EXPECT_FALSE(limits::countTimeNeeded(25.0, 106.73, 20.0, 60.0));

    limits::WindowLimits w;
    w.lowerLimitOfMeasurement = 30;
    w.activity = 10;
    EXPECT_EQ(limits::screeningVerdict(w, 50, 25), limits::Verdict::LowerLimitNotMet);
    w.lowerLimitOfMeasurement = 25;
    EXPECT_EQ(limits::screeningVerdict(w, 50, 25), limits::Verdict::BelowLevel);
    w.activity = 50;
    EXPECT_EQ(limits::screeningVerdict(w, 50, 25), limits::Verdict::AboveLevel);
}

TEST(GainCheck, PeakCentroidAndMiddleHalf) {
    Counts s(1024, 10);
    for (int i = -12; i <= 12; ++i) s[static_cast<std::size_t>(780 + i)] = 10 + 200 - 15 * std::abs(i);
    const auto c = limits::peakCentroid(s, 1024, 686, 756);
    ASSERT_TRUE(c);
    EXPECT_NEAR(*c, 780.0, 1e-9);  // found outside the window, symmetric peak
    EXPECT_FALSE(limits::inMiddleHalf(*c, 686, 756));
    EXPECT_TRUE(limits::inMiddleHalf(721.0, 686, 756));
    EXPECT_FALSE(limits::inMiddleHalf(703.0, 686, 756));
    EXPECT_FALSE(limits::peakCentroid(Counts(1024, 0), 1024, 686, 756));
}

}  // namespace
}  // namespace xmca
