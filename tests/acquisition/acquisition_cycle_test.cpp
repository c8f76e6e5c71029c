#include "acquisition/acquisition_cycle.h"

#include <gtest/gtest.h>

#include "support/scripted_analyser.h"

namespace xmca {
namespace {

std::tm at(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

struct Cycle : ::testing::Test {
    test::ScriptedAnalyser dev;
    MeasurementState s;
    AnalyserLink link{dev};
    AcquisitionCycle cycle{s, link};

    void openAndStart() {
        ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
        cycle.start(at(2026, 12, 8, 9, 5, 7));
        ASSERT_TRUE(link.AcquisitionRunning);
    }
    // One tick with the analyser reporting `realTime10ms` and `events`, the spectrum
    // holding `total` counts in channel 0.
    TickOutcome tickAt(std::int32_t realTime10ms, std::uint32_t total, std::int32_t events = 0) {
        dev.status.realTime = realTime10ms;
        dev.status.eventCount = events;
        dev.counts[0] = total;
        return cycle.tick();
    }
};

TEST_F(Cycle, StartsWithRampAndDefaults) {
    EXPECT_EQ(s.spectrum[0], 0);
    EXPECT_EQ(s.spectrum[4095], 4095);
    EXPECT_EQ(s.mem[2].counts[1234], 1234);
    EXPECT_EQ(s.view.lo, 0);
    EXPECT_EQ(s.view.hi, 2047);
    EXPECT_EQ(s.view.cursor, 1024);
    EXPECT_EQ(s.view.vfsIndex, 2);
    EXPECT_EQ(s.settings.presetTime, 36000);
    EXPECT_FALSE(cycle.timer.enabled);
    EXPECT_EQ(link.DeviceOpen, 0);
}

TEST_F(Cycle, OpenWithoutDeviceShowsErrorAndKeepsCountZero) {
    dev.devices = 0;
    const OpenOutcome out = cycle.open();
    EXPECT_EQ(out.kind, OpenOutcome::Failed);
    EXPECT_EQ(out.devText, "Error");
    EXPECT_FALSE(out.enableButtons);
    EXPECT_EQ(link.DeviceCount, 0);
}

TEST_F(Cycle, FailedOpenAfterEnumerationIsRetriedAndThenEnablesButtons) {
    dev.openFails = true;
    EXPECT_EQ(cycle.open().devText, "Error");
    EXPECT_EQ(link.DeviceCount, 1);
    dev.openFails = false;
    const OpenOutcome again = cycle.open();
    EXPECT_EQ(again.kind, OpenOutcome::Repeated);
    EXPECT_TRUE(again.enableButtons);
    EXPECT_EQ(link.DeviceOpen, 1);
    // A third press on the open link changes nothing.
    EXPECT_FALSE(cycle.open().enableButtons);
}

TEST_F(Cycle, StartStampsHeaderAndSendsGo) {
    s.headerTemplate.setText(SpectrumHeader::kComment, "rice 2026");
    openAndStart();
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kYear), 2026);
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kMonth), 12);
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kDay), 8);
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kHour), 9);
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kMinute), 5);
    EXPECT_EQ(s.liveHeader.i16(SpectrumHeader::kSecond), 7);
    EXPECT_EQ(s.liveHeader.comment(), "rice 2026");
    EXPECT_EQ(s.sourceName, "MCA");
    EXPECT_EQ(dev.count("$G;"), 1);
    EXPECT_TRUE(cycle.timer.enabled);
    EXPECT_TRUE(s.acquiring);
}

TEST_F(Cycle, StartClearsRoiOneAndTwoOnly) {
    for (auto& r : s.rois) r.defined = r.shown = 1;
    openAndStart();
    EXPECT_EQ(s.rois[1].shown + s.rois[1].defined + s.rois[2].shown + s.rois[2].defined, 0);
    EXPECT_EQ(s.rois[0].shown, 1);
    EXPECT_EQ(s.rois[3].shown, 1);
}

TEST_F(Cycle, RejectedStartLeavesTimerOffAndNotRunning) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    dev.ack = "?";
    cycle.start(at(2026, 1, 1, 0, 0, 0));
    EXPECT_FALSE(cycle.timer.enabled);
    EXPECT_EQ(link.AcquisitionRunning, 0);
    EXPECT_FALSE(s.acquiring);
}

TEST_F(Cycle, TickComputesTimesRateAndDeadTime) {
    openAndStart();
    tickAt(100, 0);                       // 1.00 s, nothing yet
    tickAt(200, 20000, 50000);            // 2.00 s: 20000 counts in 1 s
    EXPECT_FLOAT_EQ(s.countRate, 20.0f);  // kcps
    EXPECT_EQ(s.realTime, 20);            // 0.1 s units
    // 50000 events x 1.8 us = 0.09 s = 0.9 tenths; 20 - 0.9 truncates to 19.
    EXPECT_EQ(s.liveTime, 19);
    // 20 kcps x 1.8 us = 3.6 %, held in 0.1 % units.
    EXPECT_EQ(s.deadTimePermille, 36);
    EXPECT_FLOAT_EQ(s.totalCounts, 20000.0f);
}

TEST_F(Cycle, NoElapsedTimeKeepsLastRateAndFallingTotalGivesZero) {
    openAndStart();
    tickAt(100, 0);
    tickAt(200, 10000);
    ASSERT_FLOAT_EQ(s.countRate, 10.0f);
    // The same analyser time twice: no rate information, the last rate stands.
    tickAt(200, 15000);
    EXPECT_FLOAT_EQ(s.countRate, 10.0f);
    // Counts fell (cleared in between) while time went on: the rate is 0, not negative.
    tickAt(300, 100);
    EXPECT_FLOAT_EQ(s.countRate, 0.0f);
}

TEST_F(Cycle, PresetStopsExactlyAtPresetAndTimerStaysOff) {
    openAndStart();
    tickAt(359990, 1000, 1000000);  // 3599.9 s: still running
    EXPECT_TRUE(link.AcquisitionRunning);
    const int reads = dev.count("$R1;");
    const TickOutcome t = tickAt(360007, 2000, 2000000);
    EXPECT_TRUE(t.presetStop);
    EXPECT_EQ(link.AcquisitionRunning, 0);
    EXPECT_FALSE(cycle.timer.enabled);
    EXPECT_FALSE(s.acquiring);
    EXPECT_EQ(s.realTime, 36000);  // exactly 3600.0 s
    // Live time from the analyser's 36000 tenths less 2e6 x 1.8 us = 3.6 s.
    EXPECT_EQ(s.liveTime, 36000 - 36);
    EXPECT_EQ(dev.count("$S;"), 1);
    EXPECT_EQ(dev.count("$R1;"), reads + 2);  // the tick's read and the final read
}

TEST_F(Cycle, StartAfterPresetStopAddsOnWithoutClearing) {
    openAndStart();
    tickAt(360000, 500);
    ASSERT_EQ(link.AcquisitionRunning, 0);
    cycle.start(at(2026, 12, 8, 10, 0, 0));
    EXPECT_EQ(dev.count("$C;"), 0);
    EXPECT_EQ(s.spectrum[0], 500);
    EXPECT_TRUE(link.AcquisitionRunning);
}

TEST_F(Cycle, FailedStatusReadSkipsPresetTestAndKeepsRunning) {
    openAndStart();
    tickAt(100, 10);
    link.replyTimeoutMs = 20;
    dev.statusBytes = 100;  // a short record: the read times out and fails
    const TickOutcome t = tickAt(400000, 20);
    EXPECT_FALSE(t.statusRead);
    EXPECT_FALSE(t.presetStop);
    EXPECT_EQ(link.AcquisitionRunning, 1);
    EXPECT_TRUE(cycle.timer.enabled);
    EXPECT_EQ(s.realTime, 10);  // from the previous record
    EXPECT_EQ(s.spectrum[0], 20);  // the spectrum read itself went through
}

TEST_F(Cycle, StatusWindowOutsideTheSpectrumIsBounded) {
    openAndStart();
    dev.status.displayLowCh = -5;
    dev.status.displayHighCh = 30000;
    dev.status.cursorCh = -1;
    dev.status.vfsIndex = 40;
    tickAt(100, 0);
    EXPECT_EQ(s.view.lo, 0);
    EXPECT_EQ(s.view.hi, kDeviceChannels - 1);
    EXPECT_EQ(s.view.cursor, 0);
    EXPECT_EQ(s.view.vfsIndex, 22);
}

TEST_F(Cycle, LogScaleFromStatusAndWindowTaken) {
    openAndStart();
    dev.status.displayLowCh = 100;
    dev.status.displayHighCh = 611;
    dev.status.cursorCh = 300;
    dev.status.vfsIndex = 0;
    tickAt(100, 0);
    EXPECT_EQ(s.view.lo, 100);
    EXPECT_EQ(s.view.hi, 611);
    EXPECT_EQ(s.view.cursor, 300);
    EXPECT_EQ(s.view.logScale, 1);
    dev.status.vfsIndex = 7;
    tickAt(200, 0);
    EXPECT_EQ(s.view.logScale, 0);
    EXPECT_EQ(s.view.vfsIndex, 7);
}

TEST_F(Cycle, StopAndClear) {
    openAndStart();
    tickAt(100, 77);
    ASSERT_EQ(s.spectrum[0], 77);
    EXPECT_EQ(cycle.clear(), 1);
    EXPECT_EQ(s.spectrum[0], 0);
    EXPECT_EQ(s.spectrum[2047], 0);
    EXPECT_EQ(s.spectrum[2048], 2048);  // beyond the channel count: untouched
    EXPECT_EQ(cycle.stop(), 1);
    EXPECT_FALSE(cycle.timer.enabled);
    // A rejected stop changes nothing.
    cycle.start(at(2026, 1, 1, 0, 0, 0));
    dev.ack = "?";
    EXPECT_EQ(cycle.stop(), 0);
    EXPECT_TRUE(cycle.timer.enabled);
    EXPECT_EQ(link.AcquisitionRunning, 1);
}

TEST_F(Cycle, ScanPassesAreCountedAndTotalScaled) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    s.scan.refreshInterval = 500;
    s.scan.presetTime = 10;
    cycle.startScan();
    EXPECT_EQ(link.AcquisitionMode, 0);
    EXPECT_EQ(cycle.timer.intervalMs, 500);
    EXPECT_TRUE(cycle.timer.enabled);
    dev.counts[0] = 1000;
    dev.status.scanDone = 0;
    EXPECT_FALSE(cycle.tick().scanPassDone);
    dev.status.scanDone = 1;
    EXPECT_TRUE(cycle.tick().scanPassDone);
    EXPECT_TRUE(cycle.tick().scanPassDone);
    EXPECT_EQ(s.scanCounter, 2);
    EXPECT_FLOAT_EQ(s.totalCounts, 1000.0f / 10 * 0.01f);
    EXPECT_TRUE(cycle.timer.enabled);
    EXPECT_EQ(cycle.clearScan(), 1);
    EXPECT_EQ(s.scanCounter, 0);
    EXPECT_EQ(dev.count("$CX;"), 1);
}

TEST_F(Cycle, AbortWhileIdleSendsNothing) {
    ASSERT_EQ(cycle.open().kind, OpenOutcome::Opened);
    const auto n = dev.log.size();
    EXPECT_EQ(cycle.abortScan(), 0);
    EXPECT_EQ(dev.log.size(), n);
}

}  // namespace
}  // namespace xmca
