// The fault soak: 10 000 poll ticks of the acquisition cycle against the simulated
// analyser on simulated time, with faults injected at random (rejections, lost,
// late, short, over-long and garbled replies, failing driver calls, a device that
// disappears for a while) and the operator stopping, clearing and starting.
// Seeded and repeatable; XMCA_SOAK_SEED picks another seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"
#include "support/fault_soak.h"

namespace xmca {
namespace {

constexpr int kChannels = 1024;

using test::FaultSequence;
using test::RecordingDriver;
using test::soakSample;
using test::soakSeed;

struct Soak {
    explicit Soak(std::uint64_t seed)
        : faults(seed), sim(soakSample(seed), clock), driver(sim), link(driver, clock->steppingMs(1.0)), cycle(s, link) {
        link.pollSleepUs = -1;
    }

    int pick(int lo, int hi) { return faults.pick(lo, hi); }
    bool chance(double p) { return faults.chance(p); }

    FaultSequence faults;  // the operator's choices come from its stream too
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim;
    RecordingDriver driver;
    MeasurementState s;
    AnalyserLink link;
    AcquisitionCycle cycle;
};

TEST(FaultSoak, TenThousandTicksWithRandomFaultsKeepTheSpectrumTrue) {
    const std::uint64_t seed = soakSeed();
    RecordProperty("seed", std::to_string(seed));
    Soak k(seed);
    ASSERT_EQ(k.cycle.open().kind, OpenOutcome::Opened);
    ASSERT_EQ(k.link.SetChannelCount(0, kChannels), 1);
    ASSERT_EQ(k.link.SetPresetTime(0, 600), 1);  // preset stops every minute
    k.s.settings.presetTime = 600;
    k.cycle.start(std::tm{});
    ASSERT_TRUE(k.cycle.timer.enabled);
    k.clock->advance(0.1);
    k.cycle.tick();  // one clean read replaces the start-up ramp
    ASSERT_EQ(k.s.channelCount, kChannels);

    int ticks = 0, presetStops = 0;
    double longestTick = 0;
    while (ticks < 10000) {
        k.clock->advance(0.1);
        k.faults.next().applyTo(k.sim);
        if (k.chance(0.003)) k.cycle.stop();
        if (k.chance(0.002)) k.cycle.clear();
        if (!k.cycle.timer.enabled) {
            // Stopped (by preset, by the operator, or a start that failed): the
            // operator clears after a preset stop and starts again.
            if (k.link.Status.realTime / 10 >= 600) k.cycle.clear();
            k.cycle.start(std::tm{});
            continue;
        }
        const double t0 = k.clock->now();
        const TickOutcome out = k.cycle.tick();
        longestTick = std::max(longestTick, k.clock->now() - t0);
        presetStops += out.presetStop;
        ++ticks;

        // State flags agree with each other.
        ASSERT_EQ(k.s.acquiring, k.link.AcquisitionRunning == 1 && k.link.AcquisitionMode == 1) << "tick " << ticks;
        if (k.cycle.timer.enabled) {
            ASSERT_EQ(k.link.AcquisitionRunning, 1) << "tick " << ticks;
        }
        ASSERT_EQ(k.s.channelCount, k.link.ChannelCount) << "tick " << ticks;
        // Times and rates stay physical.
        ASSERT_LE(k.s.liveTime, k.s.realTime) << "tick " << ticks;
        ASSERT_GE(k.s.deadTimePermille, 0) << "tick " << ticks;
        ASSERT_TRUE(std::isfinite(k.s.countRate) && k.s.countRate >= 0.0f) << "tick " << ticks;
        // Every count is one the analyser sent for that very channel; nothing beyond.
        for (int c = 0; c < kChannels; ++c)
            ASSERT_TRUE(k.driver.wasSent(c, k.s.spectrum[c]) || k.s.spectrum[c] == 0)
                << "tick " << ticks << " channel " << c << " holds " << k.s.spectrum[c];
        for (int c = kChannels; c < kDeviceChannels; ++c) ASSERT_EQ(k.s.spectrum[c], 0) << "channel " << c;
    }
    // No tick waited longer than a few bounded exchanges.
    EXPECT_LT(longestTick, 30.0);
    // The soak did exercise the faults.
    const int faults = k.faults.replyFaults, driverFailures = k.faults.driverFailures, outages = k.faults.outages;
    EXPECT_GT(faults, 500);
    EXPECT_GT(k.faults.kinds[ReplyFault::Replace], 50);
    EXPECT_GT(driverFailures, 100);
    EXPECT_GT(outages, 5);
    EXPECT_GT(presetStops, 5);
    EXPECT_GT(k.link.resyncCount, 300);
    std::printf("soak seed %llu: %d ticks, %d reply faults, %d driver failures, %d outages, %d preset stops, "
                "%lld resyncs, longest tick %.1f s simulated\n",
                static_cast<unsigned long long>(seed), ticks, faults, driverFailures, outages, presetStops,
                static_cast<long long>(k.link.resyncCount), longestTick);
}

}  // namespace
}  // namespace xmca
