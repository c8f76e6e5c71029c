// The poll tick against a misbehaving analyser, and against a program whose
// channel count or dead time does not match the analyser.
#include <gtest/gtest.h>

#include <memory>

#include "acquisition/acquisition_cycle.h"
#include "device/simulated_analyser.h"

namespace xmca {
namespace {

// A hot sample, so every tick sees thousands of counts.
SimulatedAnalyserConfig hotSample() {
    SimulatedAnalyserConfig c;
    c.cs137 = 2e5;
    c.cs134 = 1e5;
    return c;
}

struct CycleFaults : ::testing::Test {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedAnalyser sim{hotSample(), clock};
    MeasurementState s;
    AnalyserLink link{sim, clock->steppingMs(1.0)};
    AcquisitionCycle cycle{s, link};

    void SetUp() override { link.pollSleepUs = -1; }
    void openAndStart() {
        ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
        cycle.start(std::tm{});
        ASSERT_TRUE(cycle.timer.enabled);
    }
    void tick() {
        clock->advance(0.1);
        cycle.tick();
    }
};

TEST_F(CycleFaults, LostOrLateRepliesNeverEndTheRunAndTheNextTickReadsAgain) {
    openAndStart();
    for (int i = 0; i < 20; ++i) tick();
    for (ReplyFault::Kind kind : {ReplyFault::NoReply, ReplyFault::Late, ReplyFault::Short, ReplyFault::Long}) {
        for (const char* only : {"$R0;", "$R3;"}) {
            ReplyFault f;
            f.kind = kind;
            f.delaySeconds = 3.4;
            f.onlyCommand = only;
            sim.injectFault(f);
            tick();
            EXPECT_TRUE(cycle.timer.enabled) << only;
            EXPECT_TRUE(s.acquiring) << only;
            EXPECT_EQ(link.AcquisitionRunning, 1) << only;
            tick();
            tick();
            const auto& dev = sim.spectrum();
            for (int c = 0; c < 2048; ++c) {
                // The analyser went on counting after the read; never more than it holds.
                ASSERT_LE(s.spectrum[c], static_cast<std::int32_t>(dev[c])) << only << " channel " << c;
                ASSERT_GE(s.spectrum[c], 0) << only << " channel " << c;
            }
            EXPECT_GT(s.countRate, 0.0f) << only;
        }
    }
}

TEST_F(CycleFaults, RefusedSecondStartStopsThePolling) {
    openAndStart();
    tick();
    ReplyFault f;
    f.kind = ReplyFault::Reject;
    sim.injectFault(f);
    cycle.start(std::tm{});
    EXPECT_EQ(link.AcquisitionRunning, 0);
    EXPECT_FALSE(cycle.timer.enabled);
    EXPECT_FALSE(s.acquiring);
    // A start whose command never left keeps the run as it was.
    cycle.start(std::tm{});
    ASSERT_TRUE(cycle.timer.enabled);
    sim.failCall(DriverCall::Write, FT_IO_ERROR, 1);
    cycle.start(std::tm{});
    EXPECT_EQ(link.AcquisitionRunning, 1);
    EXPECT_TRUE(cycle.timer.enabled);
}

TEST_F(CycleFaults, FailedSpectrumReadKeepsTheLastRateInsteadOfZero) {
    openAndStart();
    for (int i = 0; i < 10; ++i) tick();
    const float rate = s.countRate;
    ASSERT_GT(rate, 0.1f);
    ReplyFault f;
    f.kind = ReplyFault::Reject;
    f.onlyCommand = "$R1;";
    sim.injectFault(f);
    tick();
    EXPECT_EQ(s.countRate, rate);
    tick();
    EXPECT_NEAR(s.countRate, rate, rate * 0.2f);
}

TEST_F(CycleFaults, AnalyserChannelCountRulesOverAFileRead) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    // A 4096-channel file is on screen while the analyser holds 2048.
    s.channelCount = 4096;
    for (int c = 0; c < 4096; ++c) s.spectrum[c] = 7;
    cycle.start(std::tm{});
    ASSERT_TRUE(cycle.timer.enabled);
    EXPECT_EQ(s.channelCount, 2048);
    EXPECT_EQ(s.spectrum[2048], 0);
    EXPECT_EQ(s.spectrum[4095], 0);

    sim.clearLog();
    const double t0 = clock->now();
    tick();
    EXPECT_LT(clock->now() - t0, 0.5);  // no block waited for in vain
    EXPECT_EQ(sim.commands().size(), 17u);  // "$R1;".."$R16;" and "$R0;"
    s.channelCount = 4096;  // the file again, mid-run
    s.spectrum[3000] = 9;
    tick();
    EXPECT_EQ(s.channelCount, 2048);
    EXPECT_EQ(s.spectrum[3000], 0);
    EXPECT_GT(s.countRate, 0.0f);

    // The MCA view takes the same count.
    s.channelCount = 512;
    ASSERT_TRUE(cycle.readAnalyserView());
    EXPECT_EQ(s.channelCount, 2048);

    // An acknowledged "$M" changes what is read; clear zeroes that many.
    ASSERT_EQ(link.SetChannelCount(0, 1024), 1);
    sim.clearLog();
    tick();
    EXPECT_EQ(s.channelCount, 1024);
    EXPECT_EQ(sim.commands().size(), 9u);
}

TEST_F(CycleFaults, DeadTimeFarOutOfRangeGivesBoundedTimes) {
    openAndStart();
    for (float dead : {1e30f, -5.0f, 1e9f}) {
        s.settings.deadTimePerEvent = dead;
        for (int i = 0; i < 3; ++i) tick();
        EXPECT_LE(s.liveTime, s.realTime) << dead;
        EXPECT_GT(s.liveTime, -1000000) << dead;
        EXPECT_GE(s.deadTimePermille, 0) << dead;
    }
    // Within the range the figures are those of the formula.
    s.settings.deadTimePerEvent = 1.8f;
    tick();
    const double expectLive = s.realTime - link.Status.eventCount * 1.8f * 1e-5;
    EXPECT_NEAR(s.liveTime, expectLive, 1.0);
}

}  // namespace
}  // namespace xmca
