// Check-source QC: the 662 keV figures of simulated check-source spectra, the
// baseline statistics and the control rules.
#include <gtest/gtest.h>

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

TEST(CheckSourceQc, TenRunsMakeABaselineThatPassesItsOwnKindAndCatchesAGainDrift) {
    std::vector<QcValues> runs;
    for (std::uint64_t seed = 10; seed < 20; ++seed) {
        const SimRun r = measure(1.0, seed);
        ASSERT_TRUE(r.m.ok) << r.m.error;
        // Until the tenth, every run is a baseline run.
        const BaselineStats sofar = baselineStats(runs);
        EXPECT_EQ(assess(r.m.values, sofar, 10).status, Status::Baseline);
        runs.push_back(r.m.values);
    }
    const BaselineStats b = baselineStats(runs);
    EXPECT_EQ(b.n, 10);
    EXPECT_NEAR(b.peakChannel.mean, 660, 3);
    EXPECT_GT(b.peakChannel.sd, 0);
    EXPECT_LT(b.peakChannel.sd, 3);
    EXPECT_GT(b.netRateCps.sd, 0);

    int ok = 0, action = 0;
    for (std::uint64_t seed = 30; seed < 40; ++seed) {
        const SimRun r = measure(1.0, seed);
        ASSERT_TRUE(r.m.ok);
        const Assessment a = assess(r.m.values, b, 10);
        ok += a.status == Status::Ok;
        action += a.status == Status::Action;
    }
    // Runs like the baseline's pass (a warning now and then is what 2 sd means).
    EXPECT_GE(ok, 7);
    EXPECT_EQ(action, 0);

    const SimRun drift = measure(1.05, 40);
    const Assessment a = assess(drift.m.values, b, 10);
    EXPECT_EQ(a.status, Status::Action);
    bool shiftNamed = false;
    for (const auto& why : a.reasons) shiftNamed |= reasonText(why).rfind("peak shift 5.", 0) == 0;
    EXPECT_TRUE(shiftNamed) << (a.reasons.empty() ? "" : reasonText(a.reasons.front()));
}

TEST(CheckSourceQc, ControlRules) {
    BaselineStats b;
    b.n = 10;
    b.peakChannel = {1000.0, 5.0};  // 3 sd = 1.5 %, inside the 2 % rule
    b.fwhmPercent = {7.5, 0.1};
    b.netRateCps = {100.0, 0.5};
    const QcValues centre{1000.0, 7.5, 100.0};
    EXPECT_EQ(assess(centre, b, 10).status, Status::Ok);
    EXPECT_TRUE(assess(centre, b, 10).reasons.empty());
    EXPECT_EQ(assess(centre, b, 11).status, Status::Baseline);
    // A run far from the baseline runs so far is not accepted into it.
    QcValues far = centre;
    far.peakChannel = 1025.0;
    EXPECT_EQ(assess(far, b, 11).status, Status::Action);
    EXPECT_EQ(assess(far, BaselineStats{}, 10).status, Status::Baseline);  // the first run of a baseline

    QcValues v = centre;
    v.peakChannel = 1012.0;  // 2.4 sd
    EXPECT_EQ(assess(v, b, 10).status, Status::Warning);
    EXPECT_EQ(reasonText(assess(v, b, 10).reasons.at(0)), "peak channel 2.4 sd from the mean");
    v.peakChannel = 1016.0;  // 3.2 sd, 1.6 %
    EXPECT_EQ(assess(v, b, 10).status, Status::Action);
    v = centre;
    v.fwhmPercent = 7.25;  // 2.5 sd below
    EXPECT_EQ(assess(v, b, 10).status, Status::Warning);
    v.fwhmPercent = 7.85;
    EXPECT_EQ(assess(v, b, 10).status, Status::Action);

    // The per-cent rules act even where the sd would allow it.
    b.peakChannel.sd = 20.0;
    b.netRateCps.sd = 10.0;
    v = centre;
    v.peakChannel = 979.0;  // -2.1 %, 1.05 sd
    EXPECT_EQ(assess(v, b, 10).status, Status::Action);
    v = centre;
    v.netRateCps = 104.5;  // +4.5 %, 0.45 sd
    EXPECT_EQ(assess(v, b, 10).status, Status::Action);
    EXPECT_EQ(reasonText(assess(v, b, 10).reasons.at(0)), "net rate change 4.5 %");
    v.netRateCps = 103.9;
    EXPECT_EQ(assess(v, b, 10).status, Status::Ok);

    // Identical baseline runs: sd 0 judges by the per-cent rules only.
    const std::vector<QcValues> same(10, centre);
    const BaselineStats flat = baselineStats(same);
    EXPECT_EQ(flat.peakChannel.sd, 0.0);
    v = centre;
    v.peakChannel = 1001.0;
    EXPECT_EQ(assess(v, flat, 10).status, Status::Ok);
    v.peakChannel = 1021.0;
    EXPECT_EQ(assess(v, flat, 10).status, Status::Action);

    v = centre;
    v.netRateCps = std::nan("");
    EXPECT_EQ(assess(v, b, 10).status, Status::Action);
}

TEST(CheckSourceQc, StatusNames) {
    for (Status s : {Status::Baseline, Status::Ok, Status::Warning, Status::Action})
        EXPECT_EQ(statusFromName(statusName(s)), s);
    EXPECT_FALSE(statusFromName("OK"));
    EXPECT_STREQ(statusName(Status::Action), "action");
}

}  // namespace
}  // namespace xmca::qc
