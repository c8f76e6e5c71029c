#include "analysis/peak_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using xmca::fitPeakAtCursor;
using xmca::PeakFitOutcome;

namespace {

constexpr double kRatio = 5888.0 / 5899.0;

// Two lines at the fixed ratio over a flat background, as expected counts.
double lines(double x, double x0, double w, double h1, double h2, double bg) {
    const double d1 = x - x0, d2 = x - kRatio * x0;
    return h1 * std::exp(-2.773 * d1 * d1 / (w * w)) + h2 * std::exp(-2.773 * d2 * d2 / (w * w)) + bg;
}

}  // namespace

TEST(PeakFit, StartValuesFromTheTriangle) {
    std::vector<std::int32_t> c(256, 0);
    c[99] = 10, c[100] = 20, c[101] = 10;
    const PeakFitOutcome o = fitPeakAtCursor(c, 256, 100, 0, 255);
    ASSERT_EQ(o.status, PeakFitOutcome::Status::Started);
    const auto& s = o.start;
    EXPECT_EQ(s.position, 100.0f);
    EXPECT_FLOAT_EQ(s.widthCh, 2.0f);  // crossings at 99 and 101, no one-channel reduction
    EXPECT_FLOAT_EQ(s.scale, 58.99f);
    EXPECT_FLOAT_EQ(s.widthEv, 117.98f);
    EXPECT_FLOAT_EQ(s.secondLine, 5888.0f / 58.99f);
    EXPECT_EQ(s.halfWindow, 3);
    EXPECT_EQ(s.first, 97);
    EXPECT_EQ(s.last, 102);
    EXPECT_EQ(s.area, 40);
    EXPECT_FLOAT_EQ(s.height1, 40.0f * 2.0f / 3.0f * 0.9398496f / 2.0f);
    EXPECT_FLOAT_EQ(s.height2, 40.0f / 3.0f * 0.9398496f / 2.0f);
    // The fit window reaches 4 channels below the second line (99.81) and above p.
    EXPECT_EQ(o.fit.first, 95);
    EXPECT_EQ(o.fit.last, 103);
    EXPECT_EQ(o.fit.points, 9);
}

// Intensity-weighted mean position of the two lines.
double meanPosition(const xmca::FitResult& f) {
    return f.position * (f.height1 + kRatio * f.height2) / (f.height1 + f.height2);
}

TEST(PeakFit, RecoversExactLinesWithoutNoise) {
    // Counts that are the model itself (rounded). Narrow lines 2.2 channels apart
    // are resolved: every parameter comes back.
    std::vector<std::int32_t> c(2048, 0);
    for (int k = 0; k < 2048; ++k) c[k] = static_cast<std::int32_t>(lines(k, 1200.0, 1.6, 40000.0, 20000.0, 30.0) + 0.5);
    PeakFitOutcome o = fitPeakAtCursor(c, 2048, 1199, 0, 2047);
    ASSERT_EQ(o.status, PeakFitOutcome::Status::Started);
    ASSERT_TRUE(o.fit.ok) << o.fit.failure;
    EXPECT_NEAR(o.fit.position, 1200.0, 0.01);
    EXPECT_NEAR(o.fit.fwhm, 1.6, 0.01);
    EXPECT_NEAR(o.fit.height1, 40000.0, 200.0);
    EXPECT_NEAR(o.fit.height2, 20000.0, 200.0);
    EXPECT_NEAR(o.fit.fwhmEv(), 1.6 * 5899.0 / 1200.0, 0.05);

    // Broad lines overlap completely: their split is not determined, but the
    // combined position, the width and the total height are.
    for (int k = 0; k < 2048; ++k) c[k] = static_cast<std::int32_t>(lines(k, 1200.0, 20.0, 40000.0, 20000.0, 300.0) + 0.5);
    o = fitPeakAtCursor(c, 2048, 1198, 0, 2047);
    ASSERT_TRUE(o.fit.ok) << o.fit.failure;
    EXPECT_NEAR(meanPosition(o.fit), (1200.0 * 40000.0 + 1200.0 * kRatio * 20000.0) / 60000.0, 0.02);
    EXPECT_NEAR(o.fit.position, 1200.0, 1200.0 * (1.0 - kRatio));
    EXPECT_NEAR(o.fit.fwhm, 20.0, 0.2);
    EXPECT_NEAR(o.fit.height1 + o.fit.height2, 60000.0, 600.0);
    EXPECT_NEAR(o.fit.background, 300.0, 5.0);
    EXPECT_LT(o.fit.chi2PerDof, 0.01);  // only the rounding is left
}

TEST(PeakFit, RecoversPositionAndWidthOfANoisyTwoLinePeak) {
    std::mt19937 rng(20240611);
    int trials = 0;
    for (double x0 : {660.0, 1450.0}) {
        const double w = 0.075 * x0;  // a scintillator-like resolution
        std::vector<std::int32_t> c(2048, 0);
        for (int k = 0; k < 2048; ++k) {
            std::poisson_distribution<int> pd(lines(k, x0, w, 3000.0, 1500.0, 40.0));
            c[k] = pd(rng);
        }
        const PeakFitOutcome o = fitPeakAtCursor(c, 2048, static_cast<int>(x0), 0, 2047);
        ASSERT_EQ(o.status, PeakFitOutcome::Status::Started);
        ASSERT_TRUE(o.fit.ok) << o.fit.failure;
        // Combined position and width well inside their errors; the stronger line
        // within the doublet spacing.
        EXPECT_NEAR(meanPosition(o.fit), x0 * (3000.0 + kRatio * 1500.0) / 4500.0, 0.3) << x0;
        EXPECT_NEAR(o.fit.position, x0, x0 * (1.0 - kRatio)) << x0;
        EXPECT_NEAR(o.fit.fwhm, w, 0.03 * w) << x0;
        EXPECT_GT(o.fit.chi2PerDof, 0.6) << x0;
        EXPECT_LT(o.fit.chi2PerDof, 1.6) << x0;
        // The refined figures are closer to the truth than the start values.
        EXPECT_LT(std::abs(o.fit.fwhm - w), std::abs(o.start.widthCh - w) + 0.01 * w);
        ++trials;
    }
    EXPECT_EQ(trials, 2);
}

TEST(PeakFit, NoPeakOrNoWidthIsReportedNotFitted) {
    std::vector<std::int32_t> c(512, 0);
    EXPECT_EQ(fitPeakAtCursor(c, 512, 100, 0, 511).status, PeakFitOutcome::Status::NoPeak);
    // A peak at channel 0 has centroid 0: no eV scale can be formed.
    c[0] = 50;
    EXPECT_EQ(fitPeakAtCursor(c, 512, 2, 0, 511).status, PeakFitOutcome::Status::NoWidth);
    // A spectrum of four channels: too few for five parameters.
    std::vector<std::int32_t> d(512, 0);
    d[2] = 9;
    const PeakFitOutcome o = fitPeakAtCursor(d, 4, 2, 0, 10);
    ASSERT_EQ(o.status, PeakFitOutcome::Status::Started);
    EXPECT_FALSE(o.fit.ok);
    EXPECT_FALSE(o.fit.failure.empty());
}
