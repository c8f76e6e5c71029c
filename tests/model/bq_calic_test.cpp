// "Bq Calic" and "Re Calic" on the measurement state: repeatability, the channel
// counts, refused inputs, the 35 % baseline rule and the result record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "files/temp_dir.h"
#include "model/bq_calic.h"
#include "model/spectrum_io.h"

namespace xmca {
namespace {

using test::TempDir;

// A spectrum file of n channels: a flat continuum with a Cs line near 662 keV and
// a K-40 line (at 2048 channels: channels 660 and 1450; scaled with n).
std::string writeSpectrum(const TempDir& dir, const std::string& name, int n, std::int32_t realTenths,
                          int csHeight, int base) {
    auto s = std::make_unique<MeasurementState>();
    s->channelCount = n;
    const double scale = n / 2048.0;
    for (int i = 0; i < n; ++i) {
        const double x = i / scale;
        const double cs = csHeight * std::exp(-0.5 * (x - 660) * (x - 660) / (22.0 * 22.0));
        const double k = 40.0 * std::exp(-0.5 * (x - 1450) * (x - 1450) / (35.0 * 35.0));
        s->spectrum[i] = base + static_cast<std::int32_t>(cs + k);
    }
    s->realTime = realTenths;
    s->liveTime = realTenths;
    s->presetTimeShown = realTenths;
    const std::string p = dir.file(name);
    EXPECT_EQ(saveSpectrum(*s, p), "");
    return p;
}

std::unique_ptr<MeasurementState> loaded(const std::string& sample, const std::string& bg) {
    auto s = std::make_unique<MeasurementState>();
    EXPECT_EQ(readSampleFile(*s, sample).memoryStored, 1);
    EXPECT_EQ(readBackgroundFile(*s, bg).memoryStored, 2);
    return s;
}

TEST(BqCalic, SecondRunGivesTheSameFigures) {
    TempDir dir;
    auto s = loaded(writeSpectrum(dir, "s.dat", 2048, 36000, 300, 20), writeSpectrum(dir, "b.dat", 2048, 72000, 0, 30));
    ASSERT_TRUE(bqCalic(*s).computed);
    const ActivityResult first = s->activity;
    const auto mem1 = s->mem[0].counts;
    EXPECT_EQ(s->channelCount, 1024);
    EXPECT_EQ(s->selectedSource, 3);
    EXPECT_EQ(s->resultsFlag, 1);
    EXPECT_GT(first.activity[kRowCsAll].bqPerKg, 0.0f);
    // The background counted twice as long is halved: 2 x 30 per compressed channel.
    EXPECT_EQ(s->mem[1].counts[100], 30);
    ASSERT_TRUE(bqCalic(*s).computed);
    for (int w = 0; w < 3; ++w) {
        EXPECT_EQ(s->activity.windows[w].gross, first.windows[w].gross);
        EXPECT_EQ(s->activity.windows[w].net, first.windows[w].net);
    }
    EXPECT_EQ(s->activity.activity[kRowCs137].bqPerKg, first.activity[kRowCs137].bqPerKg);
    EXPECT_EQ(s->mem[0].counts, mem1);
    // The ROI table, the record and the header agree on the fixed windows.
    EXPECT_EQ(s->rois[2].low, 272);
    EXPECT_EQ(s->rois[2].high, 354);
    EXPECT_EQ(s->rois[1].low, 686);
    EXPECT_STREQ(s->rois[2].label.data(), "Cs-All");
    EXPECT_EQ(s->rois[3].colour, 0xFF00FFu);
    EXPECT_EQ(s->rois[2].net, first.windows[kWinCsAll].net);

    // A new sample read into memory 1 is the one the next run uses.
    const std::string bigger = writeSpectrum(dir, "s2.dat", 2048, 36000, 600, 20);
    ASSERT_EQ(readSampleFile(*s, bigger).memoryStored, 1);
    ASSERT_TRUE(bqCalic(*s).computed);
    EXPECT_GT(s->activity.windows[kWinCsAll].net, first.windows[kWinCsAll].net);
}

TEST(BqCalic, SmallerSampleLeavesTheUpperWindowsEmpty) {
    TempDir dir;
    auto s = loaded(writeSpectrum(dir, "s.dat", 1024, 36000, 300, 20), writeSpectrum(dir, "b.dat", 1024, 36000, 0, 20));
    ASSERT_TRUE(bqCalic(*s).computed);
    // 1024 channels compress into 512: the K-40 window lies above them.
    EXPECT_EQ(s->activity.windows[kWinK40].gross, 0);
    EXPECT_EQ(s->activity.windows[kWinK40].net, 0);
    EXPECT_EQ(s->mem[2].counts[600], 0);
    EXPECT_GT(s->activity.windows[kWinCsAll].gross, 0);
}

TEST(BqCalic, ShortSampleReadsZeroAboveItsData) {
    TempDir dir;
    // A 2048-channel run first leaves memories 1 and 2 full above channel 512.
    auto s = loaded(writeSpectrum(dir, "s.dat", 2048, 36000, 300, 20), writeSpectrum(dir, "b.dat", 2048, 36000, 0, 20));
    ASSERT_TRUE(bqCalic(*s).computed);
    ASSERT_GT(s->activity.windows[kWinK40].gross, 0);
    ASSERT_EQ(readSampleFile(*s, writeSpectrum(dir, "s512.dat", 512, 36000, 300, 20)).memoryStored, 1);
    ASSERT_EQ(readBackgroundFile(*s, writeSpectrum(dir, "b512.dat", 512, 36000, 0, 25)).memoryStored, 2);
    ASSERT_TRUE(bqCalic(*s).computed);
    // 512 channels compress into 256: every window lies above them.
    for (int w = 0; w < 3; ++w) {
        EXPECT_EQ(s->activity.windows[w].gross, 0) << w;
        EXPECT_EQ(s->activity.windows[w].net, 0) << w;
        EXPECT_EQ(s->activity.windows[w].background, 0.0) << w;
    }
    EXPECT_EQ(s->activity.activity[kRowK40].bqPerKg, 0.0f);
    EXPECT_EQ(s->activity.activity[kRowK40].sigma, 0.0f);
    EXPECT_EQ(s->activity.sampleChannels, 512);
    EXPECT_EQ(s->activity.screening.withheld, "windows need 2048 channels");
}

TEST(BqCalic, RefusesWhatItCannotComputeWithAMessage) {
    TempDir dir;
    const std::string sample = writeSpectrum(dir, "s.dat", 2048, 36000, 300, 20);
    {  // zero real time in the background: no division, no activities
        auto s = loaded(sample, writeSpectrum(dir, "b0.dat", 2048, 0, 0, 20));
        s->resultsFlag = 1;
        const auto mem1 = s->mem[0].counts;
        const CalicOutcome out = bqCalic(*s);
        EXPECT_FALSE(out.computed);
        EXPECT_EQ(out.edit1, kBackgroundRealTimeZero);
        EXPECT_EQ(s->resultsFlag, 0);
        EXPECT_FALSE(s->activity.valid);
        EXPECT_EQ(s->mem[0].counts, mem1);  // nothing compressed
    }
    {  // zero real time in the sample
        auto s = loaded(writeSpectrum(dir, "s0.dat", 2048, 0, 300, 20), writeSpectrum(dir, "b.dat", 2048, 36000, 0, 20));
        EXPECT_EQ(bqCalic(*s).edit1, kSampleRealTimeZero);
        EXPECT_FALSE(s->activity.valid);
    }
    {  // sample and background of different channel counts
        auto s = loaded(sample, writeSpectrum(dir, "b1k.dat", 1024, 36000, 0, 20));
        EXPECT_EQ(bqCalic(*s).edit1, kChannelMismatch);
    }
    {  // no sample read at all
        auto s = std::make_unique<MeasurementState>();
        ASSERT_EQ(readBackgroundFile(*s, writeSpectrum(dir, "b.dat", 2048, 36000, 0, 20)).memoryStored, 2);
        EXPECT_EQ(bqCalic(*s).edit1, kNoSampleSpectrum);
    }
    {  // the background file gone: the run stops with nothing changed
        const std::string bg = writeSpectrum(dir, "gone.dat", 2048, 36000, 0, 20);
        auto s = loaded(sample, bg);
        std::filesystem::remove(bg);
        const auto mem1 = s->mem[0].counts;
        const CalicOutcome out = bqCalic(*s);
        EXPECT_TRUE(out.stopped);
        EXPECT_FALSE(out.computed);
        EXPECT_EQ(s->mem[0].counts, mem1);
    }
    {  // the background file replaced by one larger than a memory: refused, memory 2 kept
        const std::string bg = writeSpectrum(dir, "grow.dat", 2048, 36000, 0, 20);
        auto reference = loaded(sample, bg);
        ASSERT_TRUE(bqCalic(*reference).computed);
        auto s = loaded(sample, bg);
        writeSpectrum(dir, "grow.dat", 8192, 36000, 0, 40);
        const CalicOutcome out = bqCalic(*s);
        EXPECT_EQ(out.edit1, kMemoryTooSmall);
        EXPECT_TRUE(out.computed);  // on with the background memory 2 already held
        EXPECT_EQ(s->activity.windows[kWinCsAll].background, reference->activity.windows[kWinCsAll].background);
        EXPECT_EQ(s->activity.windows[kWinCsAll].net, reference->activity.windows[kWinCsAll].net);
    }
}

TEST(ReCalic, BaselineOnlyAboveThirtyFivePercent) {
    TempDir dir;
    auto s = loaded(writeSpectrum(dir, "s.dat", 2048, 36000, 300, 20), writeSpectrum(dir, "b.dat", 2048, 36000, 0, 20));
    ASSERT_TRUE(bqCalic(*s).computed);
    const std::int32_t net = s->activity.windows[kWinCsAll].net;

    // Gross 0: no fraction to test, no baseline.
    s->rois[2].gross = 0;
    s->rois[2].net = -50;
    ASSERT_TRUE(reCalic(*s).computed);
    EXPECT_EQ(s->baselineFlag, 0);
    EXPECT_EQ(s->activity.windows[kWinCsAll].net, net);

    // 30 % background: no baseline; 40 %: baseline subtracted from the net sums.
    s->rois[2].gross = 1000;
    s->rois[2].net = 700;
    reCalic(*s);
    EXPECT_EQ(s->baselineFlag, 0);
    s->rois[2].gross = 1000;
    s->rois[2].net = 600;
    s->spectrum[271] = s->spectrum[270] = s->spectrum[269] = 30;
    s->spectrum[355] = s->spectrum[356] = s->spectrum[357] = 10;
    // The spectrum on screen is no longer the computation's: its integer net
    // spectrum is all there is to sum.
    std::int32_t shown = 0;
    for (int c = 272; c <= 354; ++c) shown += s->spectrum[static_cast<std::size_t>(c)];
    EXPECT_NEAR(shown, net, 83);  // memory 3 truncates each channel's scaled background
    ASSERT_TRUE(reCalic(*s).computed);
    EXPECT_EQ(s->baselineFlag, 1);
    EXPECT_TRUE(s->activity.baseline);
    EXPECT_EQ(s->activity.windows[kWinCsAll].net, shown - (30 + 10) * (354 - 272) / 2);
    EXPECT_EQ(s->rois[2].net, s->activity.windows[kWinCsAll].net);
}

}  // namespace
}  // namespace xmca
