#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "link_rig.h"

namespace xmca {
namespace {

using test::LinkRig;

// ---------------------------------------------------------------- enumeration and protocol

TEST(SimulatedAnalyserDriver, EnumeratesAndOpensBySerial) {
    SimulatedAnalyserConfig cfg;
    cfg.deviceCount = 2;
    SimulatedAnalyser sim(cfg, std::make_shared<ManualClock>());
    char a[64], b[64];
    void* list[3] = {a, b, nullptr};
    DWORD n = 0;
    ASSERT_EQ(sim.FT_ListDevices(list, &n, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_EQ(n, 2u);
    EXPECT_STREQ(a, "XMCASIM1");
    EXPECT_STREQ(b, "XMCASIM2");
    FT_HANDLE h = nullptr;
    char unknown[] = "NOPE";
    EXPECT_EQ(sim.FT_OpenEx(unknown, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    ASSERT_EQ(sim.FT_OpenEx(b, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    EXPECT_TRUE(sim.isOpen(1));
    EXPECT_FALSE(sim.isOpen(0));
    FT_HANDLE again = nullptr;
    EXPECT_EQ(sim.FT_OpenEx(b, FT_OPEN_BY_SERIAL_NUMBER, &again), FT_DEVICE_NOT_OPENED);
    DWORD q = 0;
    EXPECT_EQ(sim.FT_GetQueueStatus(reinterpret_cast<FT_HANDLE>(&q), &q), FT_INVALID_HANDLE);
}

TEST(SimulatedAnalyserDriver, MalformedAndUnknownCommandsAreRejected) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    for (const char* bad : {"$Q;", "G;", "$G", "$P;", "$Pabc;", "$M5;", "$M;", "$R17;", "$R;", "$@C12;", "$@C20x8;",
                            "$V0;", "$VZ;", "$t24;", "", "$", "$@C2048;"})
        EXPECT_EQ(r.link.SendCommand(0, bad), 0) << bad;
    for (const char* good : {"$ ;", "$l;", "$r;", "$E;", "$e;", "$O;", "$V;", "$v;", "$V5;", "$t2412312359;"})
        EXPECT_EQ(r.link.SendCommand(0, good), 1) << good;
}

TEST(SimulatedAnalyserDriver, ChannelCountCommandResetsTheWindow) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SetChannelCount(0, 4096), 1);
    EXPECT_EQ(r.sim.channelCount(), 4096);
    EXPECT_EQ(r.sim.view().hi, 4095);
    r.link.ChannelCount = 4096;
    std::vector<std::int32_t> buf(4096);
    EXPECT_EQ(r.link.ReadSpectrum(0, buf), 1);
    EXPECT_EQ(r.sim.commands().back(), "$R32;");
    ASSERT_EQ(r.link.SetChannelCount(0, 512), 1);
    EXPECT_EQ(r.sim.view().hi, 511);
    EXPECT_EQ(r.sim.view().cursor, 511);
    EXPECT_EQ(r.link.SendCommand(0, "$R5;"), 0);  // no fifth block at 512 channels
}

// ---------------------------------------------------------------- view commands

TEST(SimulatedAnalyserView, ExpandDownToEightChannelsAndBack) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    const std::vector<std::pair<int, int>> in = {{512, 1535}, {768, 1279}, {896, 1151}, {960, 1087},
                                                 {992, 1055}, {1008, 1039}, {1016, 1031}, {1020, 1027}};
    for (const auto& [lo, hi] : in) {
        ASSERT_EQ(r.link.SendCommand(0, "$E;"), 1);
        EXPECT_EQ(r.sim.view().lo, lo);
        EXPECT_EQ(r.sim.view().hi, hi);
    }
    ASSERT_EQ(r.link.SendCommand(0, "$E;"), 1);  // 64 pixels per channel is the limit
    EXPECT_EQ(r.sim.view().lo, 1020);
    EXPECT_EQ(r.sim.view().hi, 1027);
    for (int i = 0; i < 12; ++i) ASSERT_EQ(r.link.SendCommand(0, "$e;"), 1);
    EXPECT_EQ(r.sim.view().lo, 0);
    EXPECT_EQ(r.sim.view().hi, 2047);
    EXPECT_EQ(r.sim.view().cursor, 1024);
}

TEST(SimulatedAnalyserView, ZoomNearTheEndsKeepsTheWindowInside) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SetCursorChannel(0, 2000), 1);
    ASSERT_EQ(r.link.SendCommand(0, "$E;"), 1);
    EXPECT_EQ(r.sim.view().hi, 2047);
    EXPECT_EQ(r.sim.view().lo, 1024);
    ASSERT_EQ(r.link.SetCursorChannel(0, 3), 1);
    ASSERT_EQ(r.link.SendCommand(0, "$E;"), 1);  // 1024 -> 512 channels wide, from 0
    EXPECT_EQ(r.sim.view().lo, 0);
    EXPECT_EQ(r.sim.view().hi, 511);
    EXPECT_EQ(r.sim.view().cursor, 3);
}

TEST(SimulatedAnalyserView, ScrollStopsAtTheEnds) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SendCommand(0, "$E;"), 1);  // 512..1535
    ASSERT_EQ(r.link.SendCommand(0, "$r;"), 1);
    EXPECT_EQ(r.sim.view().lo, 522);
    EXPECT_EQ(r.sim.view().cursor, 1034);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(r.link.SendCommand(0, "$l;"), 1);
    EXPECT_EQ(r.sim.view().lo, 2);  // stops once lo is 10 or less
    for (int i = 0; i < 200; ++i) ASSERT_EQ(r.link.SendCommand(0, "$r;"), 1);
    EXPECT_LT(r.sim.view().hi, 2048);
    EXPECT_GE(r.sim.view().hi + 10, 2048);
    EXPECT_EQ(r.sim.view().hi - r.sim.view().lo, 1023);
}

TEST(SimulatedAnalyserView, FullScaleStepsAndLog) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SendCommand(0, "$V;"), 1);
    ASSERT_EQ(r.link.SendCommand(0, "$V;"), 1);
    EXPECT_EQ(r.sim.view().vfsIndex, 1);
    for (int i = 0; i < 30; ++i) ASSERT_EQ(r.link.SendCommand(0, "$v;"), 1);
    EXPECT_EQ(r.sim.view().vfsIndex, 22);
    ASSERT_EQ(r.link.SendCommand(0, "$V;;"), 1);  // index 11: the character after ':' is ';'
    EXPECT_EQ(r.sim.view().vfsIndex, 11);
    ASSERT_EQ(r.link.SendCommand(0, "$O;"), 1);
    EXPECT_TRUE(r.sim.view().log);
    EXPECT_EQ(r.sim.status().vfsIndex, 0);
    ASSERT_EQ(r.link.SendCommand(0, "$v;"), 1);
    EXPECT_FALSE(r.sim.view().log);
    EXPECT_EQ(r.sim.status().vfsIndex, 12);
}

TEST(SimulatedAnalyserView, TraceShowsTheWindowScaled) {
    SimulatedAnalyserConfig cfg;
    cfg.cs137 = 20000;  // a strong Cs-137 peak
    LinkRig r(cfg);
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(1000.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    const auto& spec = r.sim.spectrum();
    const std::uint32_t peak = *std::max_element(spec.begin() + 600, spec.begin() + 720);
    ASSERT_GT(peak, 2000u);
    ASSERT_EQ(r.link.SendCommand(0, "$V7;"), 1);  // full scale 10000
    DeviceStatus s = r.sim.status();
    // 2048 channels over 256 points: 8 channels per point; the peak near 660 is point 82.
    const std::uint32_t p82 = *std::max_element(spec.begin() + 656, spec.begin() + 664);
    EXPECT_EQ(s.trace[82], std::min<std::uint32_t>(255, p82 * 255 / 10000));
    EXPECT_EQ(s.trace[255], std::min<std::uint32_t>(255, *std::max_element(spec.begin() + 2040, spec.begin() + 2048) * 255 / 10000));
    ASSERT_EQ(r.link.SendCommand(0, "$O;"), 1);
    s = r.sim.status();
    EXPECT_EQ(s.trace[82], static_cast<int>(std::log10(static_cast<double>(p82)) / 6 * 255));
}

// ---------------------------------------------------------------- timing

TEST(SimulatedAnalyserTiming, PresetStopsCountingAtExactlyThePreset) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SetPresetTime(0, 100), 1);  // 10.0 s
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(25.0);
    EXPECT_FALSE(r.sim.running());
    EXPECT_EQ(r.sim.realTimeUs(), 10'000'000);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.realTime, 1000);
    const auto events = r.sim.eventCount();
    EXPECT_GT(events, 0);
    r.clock->advance(30.0);
    EXPECT_EQ(r.sim.eventCount(), events);
    // Start again at the preset: nothing more is counted until the preset is raised.
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(5.0);
    EXPECT_EQ(r.sim.realTimeUs(), 10'000'000);
    ASSERT_EQ(r.link.SetPresetTime(0, 200), 1);
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(60.0);
    EXPECT_EQ(r.sim.realTimeUs(), 20'000'000);
}

TEST(SimulatedAnalyserTiming, RealTimeAccumulatesAcrossStopAndStartUntilClear) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(3.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    const auto t1 = r.sim.realTimeUs();
    r.clock->advance(5.0);
    EXPECT_EQ(r.sim.realTimeUs(), t1);
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(2.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    EXPECT_NEAR(static_cast<double>(r.sim.realTimeUs()), 5e6, 2e4);
    std::vector<std::int32_t> buf(4096, 1);
    ASSERT_EQ(r.link.ClearSpectrum(0, buf), 1);
    EXPECT_EQ(r.sim.realTimeUs(), 0);
    EXPECT_EQ(r.sim.eventCount(), 0);
    const auto& s = r.sim.spectrum();
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), std::uint64_t{0}), 0u);
}

TEST(SimulatedAnalyserTiming, DeadTimeIsNonParalysable) {
    SimulatedAnalyserConfig cfg;
    cfg.cs137 = 2e7;  // about 2e5 true counts per second
    auto clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim(cfg, clock);
    const auto rates = sim.expectedRates(2048);
    const double n = std::accumulate(rates.begin(), rates.end(), 0.0);
    ASSERT_GT(n, 1e5);
    LinkRig r(cfg);
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.StartAcquisition(0), 1);
    r.clock->advance(2.0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    const double seconds = static_cast<double>(r.sim.realTimeUs()) * 1e-6;
    const double recorded = static_cast<double>(r.sim.eventCount()) / seconds;
    const double tau = 1.8e-6;
    EXPECT_NEAR(recorded, n / (1 + n * tau), 0.01 * n / (1 + n * tau));
    const auto& s = r.sim.spectrum();
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), std::uint64_t{0}), static_cast<std::uint64_t>(r.sim.eventCount()));
}

TEST(SimulatedAnalyserTiming, ScanPassesRepeatAndReportOnce) {
    LinkRig r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.link.SetPresetTime(0, 10), 1);  // 1.0 s per pass
    ASSERT_EQ(r.link.StartScan(0), 1);
    r.clock->advance(2.5);
    EXPECT_EQ(r.sim.scanPasses(), 2);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_NE(r.link.Status.scanDone, 0);
    EXPECT_NEAR(r.link.Status.realTime, 50, 2);  // half-way through the third pass
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.scanDone, 0);  // cleared once reported
    r.clock->advance(1.0);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_NE(r.link.Status.scanDone, 0);
    const auto before = r.sim.eventCount();
    EXPECT_GT(before, 0);
    ASSERT_EQ(r.link.StopAcquisition(0), 1);
    r.clock->advance(5.0);
    EXPECT_EQ(r.sim.scanPasses(), 3);
    EXPECT_EQ(r.sim.eventCount(), before);
    ASSERT_EQ(r.link.SendCommand(0, "$CX;"), 1);
    EXPECT_EQ(r.sim.scanPasses(), 0);
    EXPECT_EQ(r.sim.eventCount(), 0);
    ASSERT_EQ(r.link.ReadStatus(0), 1);
    EXPECT_EQ(r.link.Status.scanDone, 0);
    EXPECT_EQ(r.link.Status.realTime, 0);
}

// ---------------------------------------------------------------- physics

struct Activities {
    double csAll, cs134, cs137, k40;
};

// The fixed computation: compress 2:1, subtract the time-scaled background, sum the
// windows (ends included) and convert.
Activities activitiesOf(const std::vector<double>& sample, double tSample, const std::vector<double>& background,
                        double tBackground) {
    auto window = [&](int lo, int hi) {
        double s = 0, b = 0;
        for (int c = lo; c <= hi; ++c) {
            s += sample[2 * c] + sample[2 * c + 1];
            b += background[2 * c] + background[2 * c + 1];
        }
        return (s - b * tSample / tBackground) / tSample;
    };
    Activities a;
    a.csAll = window(272, 354) * 106.73;
    a.cs134 = window(372, 420) * 160.12;
    a.cs137 = a.csAll - a.cs134;
    a.k40 = window(686, 756) * 1900 - a.cs134;
    return a;
}

// The fixed computation on the noise-free spectrum of one sample.
Activities expectedActivities(double cs134, double cs137, double k40, bool k40Continuum = true,
                              double efficiency = 1.0) {
    SimulatedAnalyserConfig cfg;
    cfg.cs134 = cs134;
    cfg.cs137 = cs137;
    cfg.k40 = k40;
    cfg.sampleK40Continuum = k40Continuum;
    cfg.efficiency = efficiency;
    SimulatedAnalyser sim(cfg, std::make_shared<ManualClock>());
    // Sample and background measured the same time: the background cancels.
    return activitiesOf(sim.expectedRates(2048, SimulatedAnalyser::Part::Total), 1.0,
                        sim.expectedRates(2048, SimulatedAnalyser::Part::Background), 1.0);
}

// Each nuclide responds as its own lines make it; only Cs-137 is held to the fixed factor.
TEST(SimulatedAnalyserPhysics, ExpectedWindowSumsFollowEachNuclidesLines) {
    // Cs-137 in the fixed geometry: the Cs-All factor exactly, nothing in the Cs-134 window.
    const Activities cs137 = expectedActivities(0, 500, 0);
    EXPECT_NEAR(cs137.csAll, 500.0, 1e-6);
    EXPECT_NEAR(cs137.cs134, 0.0, 0.5);
    // Cs-134 gives 1.2-2 times Cs-137's counts per Bq in Cs-All (605 keV and its
    // neighbours, the 796 keV continuum), and more than the fixed 160.12 assumes in
    // the Cs-134 window.
    const Activities cs134 = expectedActivities(100, 0, 0);
    EXPECT_GT(cs134.csAll, 120.0);
    EXPECT_LT(cs134.csAll, 200.0);
    EXPECT_GT(cs134.cs134, 105.0);
    EXPECT_LT(cs134.cs134, 160.0);
    // K-40: its peak near the fixed K-40 factor; its continuum reads as false caesium
    // (some 10-30 Bq/kg per 1 000 Bq/kg), and none without it.
    const Activities k40 = expectedActivities(0, 0, 1000);
    EXPECT_NEAR(k40.k40 + k40.cs134, 1000.0, 100.0);
    EXPECT_GT(k40.csAll, 10.0);
    EXPECT_LT(k40.csAll, 30.0);
    EXPECT_NEAR(expectedActivities(0, 0, 1000, false).csAll, 0.0, 1e-9);
    // Responses add: a mix reads the sum of its parts.
    const Activities mix = expectedActivities(100, 500, 1000);
    EXPECT_NEAR(mix.csAll, cs137.csAll + cs134.csAll + k40.csAll, 1e-6);
    // Another geometry: every window scales with the efficiency.
    const Activities twice = expectedActivities(100, 500, 1000, true, 2.0);
    EXPECT_NEAR(twice.csAll, 2 * mix.csAll, 0.01 * mix.csAll);
    // The 605+796 keV sum peak (two photons at once) scales with the square; its
    // continuum reaches the Cs-134 window.
    EXPECT_GT(twice.cs134, 2 * mix.cs134);
    EXPECT_NEAR(twice.cs134, 2 * mix.cs134, 0.02 * mix.cs134);
}

TEST(SimulatedAnalyserPhysics, BackgroundOnlyHasNoSample) {
    SimulatedAnalyserConfig cfg;
    cfg.backgroundOnly = true;
    SimulatedAnalyser sim(cfg, std::make_shared<ManualClock>());
    const auto s = sim.expectedRates(2048, SimulatedAnalyser::Part::Sample);
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0.0), 0.0);
    const auto b = sim.expectedRates(2048, SimulatedAnalyser::Part::Background);
    const double total = std::accumulate(b.begin(), b.end(), 0.0);
    EXPECT_GT(total, 1.0);   // a few counts per second, as behind lead
    EXPECT_LT(total, 20.0);
}

TEST(SimulatedAnalyserPhysics, EnergyScaleAndResolution) {
    EXPECT_NEAR(SimulatedAnalyser::channelOfEnergy(662, 2048), 660, 1.0);
    EXPECT_NEAR(SimulatedAnalyser::channelOfEnergy(1461, 2048), 1450, 1.0);
    EXPECT_NEAR(SimulatedAnalyser::channelOfEnergy(662, 1024), 330, 1.0);
    EXPECT_NEAR(SimulatedAnalyser::channelOfEnergy(662, 4096), 1320, 2.0);

    SimulatedAnalyserConfig cfg;
    cfg.cs134 = cfg.k40 = 0;
    cfg.backgroundScale = 0;
    SimulatedAnalyser sim(cfg, std::make_shared<ManualClock>());
    const auto s = sim.expectedRates(2048, SimulatedAnalyser::Part::Total);
    const auto top = std::max_element(s.begin() + 500, s.begin() + 800);
    const int peak = static_cast<int>(top - s.begin());
    EXPECT_NEAR(peak, 660, 2);
    int lo = peak, hi = peak;
    while (s[lo] > *top / 2) --lo;
    while (s[hi] > *top / 2) ++hi;
    const double fwhm = (hi - lo) / 660.0;
    EXPECT_GT(fwhm, 0.065);
    EXPECT_LT(fwhm, 0.085);
    // The Compton edge near 477 keV shows as a fall from the continuum above the valley.
    const int edge = static_cast<int>(SimulatedAnalyser::channelOfEnergy(477, 2048));
    EXPECT_GT(s[edge - 60], 3 * s[edge + 70]);
    // Backscatter bump near 184 keV.
    const int bs = static_cast<int>(SimulatedAnalyser::channelOfEnergy(184, 2048));
    EXPECT_GT(s[bs], s[bs + 60]);
}

TEST(SimulatedAnalyserPhysics, LongRunsConvergeToTheExpectedSpectrum) {
    auto measure = [](SimulatedAnalyserConfig cfg, double seconds) {
        LinkRig r(cfg);
        EXPECT_TRUE(r.open());
        EXPECT_EQ(r.link.SetPresetTime(0, static_cast<std::int32_t>(seconds * 10)), 1);
        EXPECT_EQ(r.link.StartAcquisition(0), 1);
        for (int i = 0; i < 10; ++i) r.clock->advance(seconds / 9);  // read in several slices
        std::vector<double> out;
        for (auto c : r.sim.spectrum()) out.push_back(c);
        out.resize(2048);
        return out;
    };
    SimulatedAnalyserConfig sample;
    sample.cs134 = 1000;
    sample.cs137 = 2000;
    sample.k40 = 800;
    sample.seed = 7;
    SimulatedAnalyserConfig background;
    background.backgroundOnly = true;
    background.seed = 8;
    const double t = 20000;
    const auto a = activitiesOf(measure(sample, t), t, measure(background, 2 * t), 2 * t);
    // What the noise-free spectrum gives (each nuclide's own response, not the
    // activities themselves: see ExpectedWindowSumsFollowEachNuclidesLines).
    const Activities e = expectedActivities(1000, 2000, 800);
    EXPECT_NEAR(a.csAll, e.csAll, 0.02 * e.csAll);
    EXPECT_NEAR(a.cs134, e.cs134, 0.03 * e.cs134);
    EXPECT_NEAR(a.cs137, e.cs137, 0.03 * e.cs137);
    // K-40 less the over-stated Cs-134 comes out negative here; its window alone is checked.
    EXPECT_NEAR(a.k40 + a.cs134, e.k40 + e.cs134, 0.08 * (e.k40 + e.cs134));
}

}  // namespace
}  // namespace xmca
