// Whole acquisitions against the simulated analyser on simulated time.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"

namespace xmca {
namespace {

struct SimRun : ::testing::Test {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim{SimulatedAnalyserConfig{}, clock};
    MeasurementState s;
    AnalyserLink link{sim};
    AcquisitionCycle cycle{s, link};

    // Ticks every 100 ms of simulated time until the timer goes off; returns the ticks.
    int runToStop(int maxTicks) {
        int n = 0;
        while (cycle.timer.enabled && n < maxTicks) {
            clock->advance(0.1);
            cycle.tick();
            ++n;
        }
        return n;
    }
};

TEST_F(SimRun, PresetStopsAtExactly3600Seconds) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    std::tm t{};
    cycle.start(t);
    const int ticks = runToStop(40000);
    EXPECT_FALSE(cycle.timer.enabled);
    EXPECT_EQ(link.AcquisitionRunning, 0);
    EXPECT_GE(ticks, 36000);
    EXPECT_LE(ticks, 36001);
    EXPECT_EQ(s.realTime, 36000);
    EXPECT_GT(s.liveTime, 35000);
    EXPECT_LT(s.liveTime, 36000);  // some dead time was lost
    const long long total = std::accumulate(s.spectrum.begin(), s.spectrum.begin() + 2048, 0LL);
    EXPECT_GT(total, 10000);  // about 13 counts per second for the default sample
    EXPECT_FLOAT_EQ(s.totalCounts, static_cast<float>(total));
    // The timer stays off: further time adds nothing on screen.
    clock->advance(10);
    EXPECT_FALSE(cycle.timer.enabled);
}

TEST_F(SimRun, ShortPresetAndRateAgreeWithAnalyser) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    s.settings.presetTime = 100;  // 10.0 s
    ASSERT_EQ(link.SetPresetTime(0, 100), 1);
    std::tm t{};
    cycle.start(t);
    for (int i = 0; i < 50; ++i) {
        clock->advance(0.1);
        cycle.tick();
    }
    // Half way: the rate is the analyser's count growth per second of real time.
    const auto st = sim.status();
    EXPECT_EQ(s.realTime, st.realTime / 10);
    EXPECT_GT(s.countRate, 0.0f);
    runToStop(200);
    EXPECT_EQ(s.realTime, 100);
    EXPECT_EQ(link.AcquisitionRunning, 0);
}

}  // namespace
}  // namespace xmca
