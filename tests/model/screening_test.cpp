// The screening record: limits formed from the stored sums, the verdict following
// the settings, and the text lines the printed page shows.
#include <gtest/gtest.h>

#include <cmath>

#include "model/screening.h"

namespace xmca {
namespace {

ActivityResult record(std::int32_t csNet, std::int32_t csGross, double csBackground, std::int32_t sampleTenths) {
    ActivityResult r;
    r.valid = true;
    r.haveBackground = true;
    r.sampleChannels = 2048;
    r.sampleRealTime = sampleTenths;
    r.backgroundRealTime = 36000;
    r.countingTime = sampleTenths * 0.1f;
    r.windows[kWinCsAll] = {2, "Cs-All", 272, 354, csGross, csNet, csBackground};
    r.windows[kWinCs134] = {3, "Cs-134", 372, 420, 400, 10, 380.0};
    r.windows[kWinK40] = {1, "K-40", 686, 756, 300, 20, 280.0};
    r.activity = *activity::activities(csNet, csGross, 10, 400, 20, 300, r.countingTime);
    return r;
}

TEST(ScreeningRecord, LimitsVerdictAndLines) {
    ActivityResult r = record(20, 1020, 1000.0, 36000);
    computeScreening(r, ScreeningSettings{});
    ASSERT_TRUE(r.screening.valid);
    const auto& cs = r.screening.csTotal;
    // y = 20 / 3600 x 106.73; y* = 1.645 x 106.73 x sqrt(1000/3600 x 2/3600).
    EXPECT_NEAR(cs.activity, 20.0f / 3600.0f * 106.73f, 1e-4);
    EXPECT_NEAR(cs.decisionThreshold, 1.645 * 106.73 * std::sqrt(1000.0 / 3600.0 * 2.0 / 3600.0), 1e-9);
    EXPECT_TRUE(cs.belowDecisionThreshold);
    EXPECT_EQ(r.screening.verdict, limits::Verdict::BelowLevel);
    EXPECT_TRUE(r.screening.gain.ok);
    r.sampleName = "s.dat";
    r.backgroundName = "b.dat";
    r.backgroundSha256 = std::string(64, 'a');
    auto lines = screeningLines(r);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Sample s.dat, background b.dat (SHA-256 aaaaaaaaaaaa); method: Bq Calic, no baseline");
    EXPECT_NE(lines[1].find("< DL"), std::string::npos) << lines[1];
    // u on the limits' lines, the counting sd on the figures of the box.
    EXPECT_NE(lines[1].find(" u(k=1) "), std::string::npos) << lines[1];
    EXPECT_EQ(lines[1].find("+/-"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[3].rfind("Cs-137", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("K-40"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find(" sd "), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("Gain check OK"), std::string::npos) << lines[4];
    EXPECT_EQ(lines[5], "Below screening level (50.0 Bq/kg)");

    // A level below the activity turns the verdict without recomputing the limits.
    updateVerdict(r, ScreeningSettings{0.5, 25.0});
    EXPECT_EQ(r.screening.verdict, limits::Verdict::AboveLevel);
    EXPECT_EQ(r.screening.csTotal.decisionThreshold, cs.decisionThreshold);

    // A short count: the lower limit is missed and the time needed is given.
    ActivityResult shortCount = record(2, 100, 3000.0, 600);
    computeScreening(shortCount, ScreeningSettings{});
    EXPECT_EQ(shortCount.screening.verdict, limits::Verdict::LowerLimitNotMet);
    ASSERT_TRUE(shortCount.screening.countTimeNeeded);
    lines = screeningLines(shortCount);
    EXPECT_EQ(lines.back().rfind("Lower limit not met - count longer (", 0), 0u) << lines.back();

    // No background sums (no "Bq Calic" ran): nothing to show.
    ActivityResult none = record(20, 1020, 1000.0, 36000);
    none.haveBackground = false;
    computeScreening(none, ScreeningSettings{});
    EXPECT_FALSE(none.screening.valid);
    // The figures still go on paper, with their sd and no verdict.
    lines = screeningLines(none);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[1].find(" sd "), std::string::npos) << lines[1];
    EXPECT_EQ(lines.back(), "No verdict - no characteristic limits");
    none.valid = false;
    EXPECT_TRUE(screeningLines(none).empty());
}

TEST(ScreeningRecord, WithheldVerdictKeepsFiguresAndFirstReason) {
    ActivityResult r = record(2, 100, 3000.0, 600);
    computeScreening(r, ScreeningSettings{});
    ASSERT_TRUE(r.screening.countTimeNeeded);
    EXPECT_EQ(verdictText(r), "Lower limit not met - count longer");
    const double activity = r.screening.csTotal.activity;

    withholdVerdict(r, "check gain", ReasonRank::Sample);
    withholdVerdict(r, "sample below background", ReasonRank::Sample);
    EXPECT_EQ(r.screening.withheld, "check gain");
    // A reason of an earlier rank replaces it, a later one does not.
    withholdVerdict(r, "background has no K-40 peak", ReasonRank::Background);
    withholdVerdict(r, "unexplained peak at 927 keV", ReasonRank::Sample);
    EXPECT_EQ(r.screening.withheld, "background has no K-40 peak");
    EXPECT_EQ(verdictText(r), "No verdict - background has no K-40 peak");
    EXPECT_FALSE(r.screening.countTimeNeeded);
    EXPECT_EQ(r.screening.csTotal.activity, activity);
    // A new level does not bring the time needed back while the verdict is withheld.
    updateVerdict(r, ScreeningSettings{50.0, 1.0});
    updateVerdict(r, ScreeningSettings{50.0, 25.0});
    EXPECT_FALSE(r.screening.countTimeNeeded);
    EXPECT_EQ(verdictText(r), "No verdict - background has no K-40 peak");

    // No limits formed at all: no verdict either.
    ActivityResult none = record(20, 1020, 1000.0, 36000);
    none.haveBackground = false;
    computeScreening(none, ScreeningSettings{});
    EXPECT_EQ(verdictText(none).rfind("No verdict - ", 0), 0u);
}

}  // namespace
}  // namespace xmca
