// Memory select, analyser select and the snapshot overlays.
#include <gtest/gtest.h>

#include <memory>

#include "model/memory_spectra.h"

namespace xmca {
namespace {

using H = SpectrumHeader;

TEST(MemorySpectra, SelectMemoryBoundsTheHeaderChannelCount) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 1024;
    std::fill(s->spectrum.begin(), s->spectrum.end(), -1);
    s->header.setChannelCount(1024);
    s->header.setI32(H::kRealTime, 600);
    s->realTime = 600;
    s->presetTimeShown = 700;
    s->rois[4].low = 640;
    s->fileName = "shown.dat";
    const SpectrumHeader before = s->header;
    // An empty memory (count 0) is refused: it becomes the selected source (a file
    // read then fills it) but header, name, N, times, ROIs and counts stay.
    EXPECT_FALSE(selectMemory(*s, 3));
    EXPECT_EQ(emptyMemoryText(3), "Error ! Mem3 Empty");
    EXPECT_EQ(s->channelCount, 1024);
    EXPECT_EQ(s->spectrum[0], -1);
    EXPECT_EQ(s->header, before);
    EXPECT_EQ(s->fileName, "shown.dat");
    EXPECT_EQ(s->realTime, 600);
    EXPECT_EQ(s->presetTimeShown, 700);
    EXPECT_EQ(s->rois[4].low, 640);
    EXPECT_EQ(s->selectedSource, 3);
    // A header copy claiming more than a memory holds copies only the memory.
    s->mem[0].header.setChannelCount(8192);
    EXPECT_TRUE(selectMemory(*s, 1));
    EXPECT_EQ(s->channelCount, kMemChannels);
    EXPECT_EQ(s->spectrum[4095], 4095);
    EXPECT_EQ(s->spectrum[4096], -1);
    EXPECT_FALSE(selectMemory(*s, 0));  // not a memory: nothing happens
    EXPECT_FALSE(selectMemory(*s, 4));
    EXPECT_EQ(s->selectedSource, 1);
}

TEST(MemorySpectra, AnalyserSelectTakesTheLiveHeaderButLeavesTheCounts) {
    auto s = std::make_unique<MeasurementState>();
    s->selectedSource = 2;
    s->fileName = "old.dat";
    s->channelCount = 1024;
    s->spectrum[7] = 777;
    H& live = s->liveHeader;
    live.setChannelCount(2048);
    live.setI32(H::kLiveTime, 50);
    live.setI32(H::kRealTime, 60);
    live.setI32(H::kPresetTime, 70);
    live.setF32(H::kCalibMarker, 0.0f);  // calibrated
    live.setF32(H::kCalibCoef1, 0.5f);
    live.setF32(H::kCalibCoef2, 2.0f);
    live.setRoiStart(2, 300);
    live.setRoiEnd(2, -2);
    selectAnalyser(*s);
    EXPECT_EQ(s->header, live);
    EXPECT_EQ(s->fileName, "");
    EXPECT_EQ(s->channelCount, 2048);
    EXPECT_EQ(s->liveTime, 50);
    EXPECT_EQ(s->realTime, 60);
    EXPECT_EQ(s->presetTimeShown, 70);
    EXPECT_EQ(s->cal.calibrated, 1);
    EXPECT_EQ(s->cal.gain, 0.5f);
    EXPECT_EQ(s->rois[2].low, 300);
    EXPECT_EQ(s->rois[2].high, -2);
    EXPECT_EQ(s->spectrum[7], 777);
    EXPECT_EQ(s->selectedSource, 0);
}

TEST(MemorySpectra, SnapshotTogglesAndSqueezesTheAnalyserTrace) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = 2048;
    s->traceTop[0] = 312;    // bottom of the plot -> 312 - 208 = 104
    s->traceTop[1] = 0;      // top -> 0
    s->traceTop[2] = 1000;   // below the plot -> clamped to H - 1
    s->traceTop[3] = -30;    // (312 + 30) / 3 = 114 -> -10
    s->traceBottom[0] = 156;  // 312 - (208 + 52) = 52
    s->overlays[0].top[600] = 4242;
    EXPECT_EQ(toggleSnapshot(*s, 512), 0);
    const Overlay& o = s->overlays[0];
    EXPECT_EQ(o.on, 1);
    EXPECT_EQ(o.top[0], 104);
    EXPECT_EQ(o.top[1], 0);
    EXPECT_EQ(o.top[2], 311);
    EXPECT_EQ(o.top[3], -10);
    EXPECT_EQ(o.bottom[0], 52);
    EXPECT_EQ(o.top[600], 4242);  // only the plot width is captured
    EXPECT_EQ(toggleSnapshot(*s, 512), 0);
    EXPECT_EQ(o.on, 0);
    EXPECT_EQ(o.top[0], 104);  // switching off keeps the arrays
    for (const auto& other : {s->overlays[1], s->overlays[2], s->overlays[3]}) EXPECT_EQ(other.on, 0);
}

TEST(MemorySpectra, SnapshotOfAMemoryCopiesTheTraceAndNamesTheFile) {
    auto s = std::make_unique<MeasurementState>();
    s->selectedSource = 3;
    s->channelCount = 256;  // fewer channels than columns: only N entries
    s->mem[2].name = "net.dat";
    for (int i = 0; i < kMaxColumns; ++i) {
        s->traceTop[i] = i % 300;
        s->traceBottom[i] = i % 300 + 3;
    }
    EXPECT_EQ(toggleSnapshot(*s, 512), 3);
    const Overlay& o = s->overlays[3];
    EXPECT_EQ(o.on, 1);
    EXPECT_EQ(o.top[255], 255);
    EXPECT_EQ(o.bottom[10], 13);
    EXPECT_EQ(o.top[256], 0);
    EXPECT_EQ(s->fileName, "net.dat");
    EXPECT_EQ(s->overlays[0].on, 0);
    // A huge plot width or N is bounded by the per-column arrays.
    s->selectedSource = 1;
    s->channelCount = 8192;
    toggleSnapshot(*s, 100000);
    EXPECT_EQ(s->overlays[1].top[kMaxColumns - 1], (kMaxColumns - 1) % 300);
}

}  // namespace
}  // namespace xmca
