// Check-source QC: the 662 keV figures of simulated check-source spectra, the
// baseline statistics and the control rules.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "analysis/check_source_qc.h"
#include "device/simulated_analyser.h"

namespace xmca::qc {
namespace {

// A Poisson spectrum of the simulator's expected rates over `seconds`.
std::vector<std::int32_t> simulated(SimulatedAnalyserConfig cfg, double seconds, std::uint64_t seed,
                                    int channels = 2048) {
    SimulatedAnalyser sim(cfg);
    const auto rates = sim.expectedRates(channels);
    std::mt19937_64 rng(seed);
    std::vector<std::int32_t> out(rates.size());
    for (std::size_t i = 0; i < rates.size(); ++i) {
        std::poisson_distribution<std::int32_t> p(std::max(rates[i] * seconds, 1e-12));
        out[i] = p(rng);
    }
    return out;
}

SimulatedAnalyserConfig checkSource(double gain = 1.0) {
    SimulatedAnalyserConfig c;
    c.cs137 = 20000;
    c.cs134 = 0;
    c.k40 = 0;
    c.gain = gain;
    return c;
}

SimulatedAnalyserConfig backgroundOnly(double gain = 1.0) {
    SimulatedAnalyserConfig c = checkSource(gain);
    c.backgroundOnly = true;
    return c;
}

struct SimRun {
    std::vector<std::int32_t> check, bg;
    QcMeasurement m;
};

SimRun measure(double gain, std::uint64_t seed, double checkSeconds = 300, double bgSeconds = 3600) {
    SimRun r;
    r.check = simulated(checkSource(gain), checkSeconds, seed);
    r.bg = simulated(backgroundOnly(gain), bgSeconds, seed + 1000);
    r.m = measureCheckSource({r.check, 2048, checkSeconds}, CountedSpectrum{r.bg, 2048, bgSeconds});
    return r;
}

TEST(CheckSourceQc, FiguresOfASimulatedCheckSource) {
    const SimRun r = measure(1.0, 1);
    ASSERT_TRUE(r.m.ok) << r.m.error;
    EXPECT_NEAR(r.m.values.peakChannel, 660.0, 3.0);
    EXPECT_NEAR(r.m.values.fwhmPercent, 7.5, 0.6);
    EXPECT_LT(r.m.windowLo, 620);
    EXPECT_GT(r.m.windowHi, 700);

    // The net rate is the source's own rate in the window, within counting noise.
    SimulatedAnalyser sim(checkSource());
    const auto sourceOnly = sim.expectedRates(2048, SimulatedAnalyser::Part::Sample);
    double expected = 0;
    for (int i = r.m.windowLo; i <= r.m.windowHi; ++i) expected += sourceOnly[static_cast<std::size_t>(i)];
    const double sigma = std::sqrt(r.m.grossRateCps / 300 + *r.m.backgroundWindowCps / 3600);
    EXPECT_NEAR(r.m.values.netRateCps, expected, 4 * sigma);

    // The background's total rate is every channel of it over its time.
    double total = 0;
    for (auto c : r.bg) total += c;
    ASSERT_TRUE(r.m.backgroundRateCps);
    EXPECT_DOUBLE_EQ(*r.m.backgroundRateCps, total / 3600);

    // A 5 % gain puts the peak 5 % higher; the relative FWHM stays.
    const SimRun shifted = measure(1.05, 1);
    ASSERT_TRUE(shifted.m.ok) << shifted.m.error;
    EXPECT_NEAR(shifted.m.values.peakChannel / r.m.values.peakChannel, 1.05, 0.006);
    EXPECT_NEAR(shifted.m.values.fwhmPercent, r.m.values.fwhmPercent, 0.6);
}

TEST(CheckSourceQc, OtherChannelCountsAndNoBackground) {
    const auto check = simulated(checkSource(), 300, 3, 1024);
    const QcMeasurement m = measureCheckSource({check, 1024, 300}, std::nullopt);
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_NEAR(m.values.peakChannel, 330.0, 2.0);
    EXPECT_NEAR(m.values.fwhmPercent, 7.5, 0.8);
    EXPECT_FALSE(m.backgroundRateCps);
    EXPECT_DOUBLE_EQ(m.values.netRateCps, m.grossRateCps);
}

TEST(CheckSourceQc, UnusableInputsGiveAReasonNotFigures) {
    const auto check = simulated(checkSource(), 300, 4);
    const auto bg1024 = simulated(backgroundOnly(), 3600, 5, 1024);
    const std::vector<std::int32_t> empty(2048, 0);

    QcMeasurement m = measureCheckSource({empty, 2048, 300}, std::nullopt);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.error.find("no 662 keV peak"), std::string::npos) << m.error;

    m = measureCheckSource({check, 2048, 0}, std::nullopt);
    EXPECT_FALSE(m.ok);
    m = measureCheckSource({check, 2048, 300}, CountedSpectrum{bg1024, 1024, 3600});
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.error.find("1024 channels"), std::string::npos) << m.error;
    m = measureCheckSource({check, 2048, 300}, CountedSpectrum{check, 2048, -1});
    EXPECT_FALSE(m.ok);
    // A channel count beyond the array reads only the array.
    m = measureCheckSource({std::span<const std::int32_t>(check).first(40), 2048, 300}, std::nullopt);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.error.find("too few channels"), std::string::npos) << m.error;
    // A peak far off its nominal place is not found.
    m = measureCheckSource({check, 2048, 300}, std::nullopt, PeakSearch{1200.0});
    EXPECT_FALSE(m.ok) << m.values.peakChannel << " " << m.values.fwhmPercent;
    // A peak too weak to judge a 4 % rate change by.
    m = measureCheckSource({simulated(checkSource(), 2, 6), 2048, 2}, std::nullopt);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.error.find("count the check source longer"), std::string::npos) << m.error;
}

// The Cs-All window of the activity computation (channels of the 1024-channel
// compressed spectrum).
const AnalysisWindow kCsWindow{272, 354, 1024};

RunFigures figures(const QcMeasurement& m) { return {m.values, m.countingSd}; }

// A check-source station: one background counted for an hour, check sources of a
// given Cs-137 content counted 300 s, each run judged against a baseline that is
// collected (and goes on until its scatter agrees with counting statistics) as the
// register would do it.
struct Station {
    double cs137 = 7500;  // about 20 000 net counts in 300 s
    std::vector<std::int32_t> bg;
    std::vector<QcValues> baseRuns, baseSd, judged;
    BaselineStats stats;
    int nRequired = 20;

    std::map<std::pair<double, double>, std::vector<double>> rates;  // expected counts/s by gain and activity

    Station() {
        SimulatedAnalyserConfig c = checkSource();
        c.backgroundOnly = true;
        bg = simulated(c, 3600, 77);
    }
    QcMeasurement measureRun(std::uint64_t seed, double gain = 1.0, double activityFactor = 1.0) {
        auto& r = rates[{gain, activityFactor}];
        if (r.empty()) {
            SimulatedAnalyserConfig c = checkSource(gain);
            c.cs137 = cs137 * activityFactor;
            r = SimulatedAnalyser(c).expectedRates(2048);
        }
        std::mt19937_64 rng(seed);
        std::vector<std::int32_t> check(r.size());
        for (std::size_t i = 0; i < r.size(); ++i)
            check[i] = std::poisson_distribution<std::int32_t>(std::max(r[i] * 300, 1e-12))(rng);
        return measureCheckSource({check, 2048, 300}, CountedSpectrum{bg, 2048, 3600});
    }
    Assessment run(std::uint64_t seed, double gain = 1.0, double activityFactor = 1.0) {
        const QcMeasurement m = measureRun(seed, gain, activityFactor);
        EXPECT_TRUE(m.ok) << m.error;
        const Assessment a = assess(figures(m), stats, nRequired, judged, kCsWindow);
        if (a.status == Status::Baseline) {
            baseRuns.push_back(m.values);
            baseSd.push_back(m.countingSd);
            stats = baselineStats(baseRuns, baseSd);
        } else {
            judged.push_back(m.values);
        }
        return a;
    }
};

TEST(CheckSourceQc, CountingScatterOfEachFigureMatchesTheScatterBetweenRuns) {
    Station st;
    std::vector<QcValues> values, sds;
    for (std::uint64_t seed = 500; seed < 560; ++seed) {
        const QcMeasurement m = st.measureRun(seed);
        ASSERT_TRUE(m.ok) << m.error;
        EXPECT_GT(m.netCounts, 15000);
        EXPECT_LT(m.netCounts, 30000);
        values.push_back(m.values);
        sds.push_back(m.countingSd);
    }
    // The resamples overstate the FWHM's scatter a little (its half maximum comes from the highest
    // summed channel, noisier in a resample); the rate's includes the fixed background's own noise,
    // which is common to every run here.
    const BaselineStats b = baselineStats(values, sds);
    std::printf("scatter between runs / counting scatter: peak %.3f, FWHM %.3f, net rate %.3f\n",
                b.peakChannel.sd / b.peakChannel.countingSd, b.fwhmPercent.sd / b.fwhmPercent.countingSd,
                b.netRateCps.sd / b.netRateCps.countingSd);
    EXPECT_NEAR(b.peakChannel.sd / b.peakChannel.countingSd, 1.0, 0.25);
    EXPECT_NEAR(b.fwhmPercent.sd / b.fwhmPercent.countingSd, 1.0, 0.25);
    EXPECT_NEAR(b.netRateCps.sd / b.netRateCps.countingSd, 1.0, 0.25);
    // The same spectrum always gives the same scatter.
    EXPECT_EQ(st.measureRun(500).countingSd.peakChannel, sds[0].peakChannel);
}

// 1 000 runs of a flawless detector against a 20-run baseline: how often QC calls
// for action or warns, and that a 3 % gain drift and an 8 % rate drop are action.
TEST(CheckSourceQc, FalseAlarmRatesOfAFlawlessDetectorAndRealDrifts) {
    Station st;
    std::uint64_t seed = 1000;
    while (!baselineAccepted(st.stats, st.nRequired)) {
        ASSERT_EQ(st.run(seed++).status, Status::Baseline);
        ASSERT_LT(st.baseRuns.size(), 40u) << "the baseline never agreed with counting statistics";
    }
    const int extraBaselineRuns = static_cast<int>(st.baseRuns.size()) - st.nRequired;
    int action = 0, warning = 0, trend = 0;
    int perQuantity[3] = {0, 0, 0};
    const int runs = 1000;
    for (int i = 0; i < runs; ++i) {
        const Assessment a = st.run(seed++);
        action += a.status == Status::Action;
        warning += a.status == Status::Warning;
        bool q[3] = {false, false, false};
        for (const auto& r : a.reasons) {
            q[r.quantity] = q[r.quantity] || r.kind == Reason::SdFromMean || r.kind == Reason::Trend;
            trend += r.kind == Reason::Trend;
        }
        for (int k = 0; k < 3; ++k) perQuantity[k] += q[k];
    }
    std::printf("baseline: %d runs; of %d in-control runs: %d action (%.1f %%), %d warning (%.1f %%), "
                "%d trend reasons; flagged per quantity: peak %d, FWHM %d, net rate %d\n",
                static_cast<int>(st.baseRuns.size()), runs, action, 100.0 * action / runs, warning,
                100.0 * warning / runs, trend, perQuantity[0], perQuantity[1], perQuantity[2]);
    EXPECT_LE(extraBaselineRuns, 10);
    EXPECT_LT(action, runs / 100);
    // Three figures at 2 sigma each warn about 13 % of the time together; each one alone stays below 10 %.
    for (int k = 0; k < 3; ++k) EXPECT_LT(perQuantity[k], runs / 10) << k;
    EXPECT_LT(warning, runs / 5);

    for (std::uint64_t s = 5000; s < 5010; ++s) {
        EXPECT_EQ(assess(figures(st.measureRun(s, 1.03)), st.stats, st.nRequired, {}, kCsWindow).status,
                  Status::Action);
        EXPECT_EQ(assess(figures(st.measureRun(s, 0.97)), st.stats, st.nRequired, {}, kCsWindow).status,
                  Status::Action);
        EXPECT_EQ(assess(figures(st.measureRun(s, 1.0, 0.92)), st.stats, st.nRequired, {}, kCsWindow).status,
                  Status::Action);
    }
}

TEST(CheckSourceQc, ControlRules) {
    BaselineStats b;
    b.n = 20;
    b.peakChannel = {660.0, 0.2, 0.2, 0.0, 19.0, 0.5};
    b.fwhmPercent = {7.5, 0.05, 0.05, 0.0, 19.0, 0.5};
    b.netRateCps = {100.0, 0.6, 0.5, std::sqrt(0.6 * 0.6 - 0.5 * 0.5), 25.0, 0.16};
    const RunFigures centre{{660.0, 7.5, 100.0}, {0.2, 0.05, 0.5}};
    EXPECT_EQ(assess(centre, b, 20).status, Status::Ok);
    EXPECT_TRUE(assess(centre, b, 20).reasons.empty());
    EXPECT_EQ(assess(centre, b, 21).status, Status::Baseline);

    // sigma = sqrt(counting^2 + excess^2 + sd^2 / n): 0.2 ch counting alone gives 0.2049.
    RunFigures v = centre;
    v.values.peakChannel = 660.0 + 2.5 * 0.2049;
    Assessment a = assess(v, b, 20);
    EXPECT_EQ(a.status, Status::Warning);
    EXPECT_EQ(reasonText(a.reasons.at(0)), "peak channel 2.5 sd from the mean");
    // The run's own counts set its limit: counted twice as long it would act at the same offset.
    v.countingSd.peakChannel = 0.1;
    EXPECT_EQ(assess(v, b, 20).status, Status::Action);
    // The baseline's excess scatter widens the rate's limits: 2.9 counting sd is only 2.3 sigma.
    v = centre;
    v.values.netRateCps = 100.0 + 2.9 * 0.5;
    EXPECT_EQ(assess(v, b, 20).status, Status::Warning);
    v.values.netRateCps = 100.0 + 4.0 * 0.5;
    EXPECT_EQ(assess(v, b, 20).status, Status::Action);

    // The per-cent rules act even where the sigma would allow it.
    v = centre;
    v.countingSd.netRateCps = 5.0;
    v.values.netRateCps = 95.5;
    a = assess(v, b, 20);
    EXPECT_EQ(a.status, Status::Action);
    EXPECT_EQ(reasonText(a.reasons.back()), "net rate change -4.5 %");

    // Window rules: 667 is the top of the middle half of 544..709 (585.5 .. 667.5).
    v = centre;
    v.countingSd.peakChannel = 50;  // no sigma rule could act
    v.values.peakChannel = 667.0;
    EXPECT_NE(assess(v, b, 20, {}, kCsWindow).status, Status::Action);
    v.values.peakChannel = 668.0;
    a = assess(v, b, 20, {}, kCsWindow);
    EXPECT_EQ(a.status, Status::Action);
    EXPECT_EQ(reasonText(a.reasons.at(0)), "peak channel 668.0 outside the middle half of the Cs window (585.5-667.5)");
    // A line 30 % broader loses more than 3 % of itself out of the window.
    v = centre;
    v.countingSd.fwhmPercent = 10;
    v.values.fwhmPercent = 7.5 * 1.3;
    a = assess(v, b, 20, {}, kCsWindow);
    EXPECT_EQ(a.status, Status::Action);
    EXPECT_EQ(a.reasons.at(0).kind, Reason::WindowLoss);
    EXPECT_NEAR(fractionOutside(329.75, 0.075 * 330, 272, 354), 0.009, 0.001);
    // A 1024-channel check spectrum is judged by the same window.
    auto outside = [&](const RunFigures& f) {
        for (const auto& r : assess(f, b, 20, {}, kCsWindow).reasons)
            if (r.kind == Reason::OutsideWindow) return true;
        return false;
    };
    v = centre;
    v.channels = 1024;
    v.values.peakChannel = 333.0;
    EXPECT_FALSE(outside(v));
    v.values.peakChannel = 334.0;
    EXPECT_TRUE(outside(v));

    // Trend: the seventh run in a row above the mean warns; a run below breaks it.
    std::vector<QcValues> recent(6, centre.values);
    for (auto& r : recent) r.netRateCps = 100.3;
    v = centre;
    v.values.netRateCps = 100.2;
    a = assess(v, b, 20, recent);
    EXPECT_EQ(a.status, Status::Warning);
    EXPECT_EQ(reasonText(a.reasons.at(0)), "net rate 7 runs in a row above the mean");
    recent[2].netRateCps = 99.9;
    EXPECT_EQ(assess(v, b, 20, recent).status, Status::Ok);
    EXPECT_EQ(assess(v, b, 20, std::span(recent).first(5)).status, Status::Ok);

    v = centre;
    v.values.netRateCps = std::nan("");
    EXPECT_EQ(assess(v, b, 20).status, Status::Action);
}

TEST(CheckSourceQc, ABaselineIsAcceptedOnlyWhenItsScatterIsCounting) {
    std::vector<QcValues> runs, sds;
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < 20; ++i) {
        runs.push_back({660 + 0.2 * noise(rng), 7.5 + 0.05 * noise(rng), 100 + 0.5 * noise(rng)});
        sds.push_back({0.2, 0.05, 0.5});
    }
    BaselineStats b = baselineStats(runs, sds);
    EXPECT_NEAR(b.netRateCps.countingSd, 0.5, 1e-12);
    EXPECT_TRUE(baselineAccepted(b, 20));
    EXPECT_FALSE(baselineAccepted(b, 21));  // not complete
    // The same rates with a 2 % drift across the baseline: the scatter is not counting.
    for (int i = 0; i < 20; ++i) runs[static_cast<std::size_t>(i)].netRateCps += 0.1 * i;
    b = baselineStats(runs, sds);
    std::vector<Reason> why;
    EXPECT_FALSE(baselineAccepted(b, 20, &why));
    ASSERT_EQ(why.size(), 1u);
    EXPECT_EQ(why[0].quantity, Reason::NetRate);
    EXPECT_EQ(reasonText(why[0]).rfind("baseline scatter of net rate exceeds counting statistics (chi-square ", 0), 0u);
    EXPECT_GT(b.netRateCps.excessSd, 0.4);
    // Judged against it, a run is a baseline run that says why.
    const Assessment a = assess({runs[0], sds[0]}, b, 20);
    EXPECT_EQ(a.status, Status::Baseline);
    ASSERT_EQ(a.reasons.size(), 1u);
    EXPECT_EQ(a.reasons[0].kind, Reason::BaselineScatter);
    // Runs without a counting scatter cannot be tested against it.
    sds[4].peakChannel = 0;
    EXPECT_FALSE(baselineAccepted(baselineStats(runs, sds), 20));

    // The chi-square tail against tabulated values.
    EXPECT_NEAR(chiSquareUpperTail(30.144, 19), 0.05, 1e-4);
    EXPECT_NEAR(chiSquareUpperTail(10.117, 19), 0.95, 1e-4);
    EXPECT_NEAR(chiSquareUpperTail(3.841, 1), 0.05, 1e-4);
    EXPECT_NEAR(chiSquareUpperTail(124.342, 100), 0.05, 1e-4);
}

TEST(CheckSourceQc, StatusNames) {
    for (Status s : {Status::Baseline, Status::Ok, Status::Warning, Status::Action})
        EXPECT_EQ(statusFromName(statusName(s)), s);
    EXPECT_FALSE(statusFromName("OK"));
    EXPECT_STREQ(statusName(Status::Action), "action");
}

}  // namespace
}  // namespace xmca::qc
