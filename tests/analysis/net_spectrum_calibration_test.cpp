// The net spectrum of "Bq Calic" written to a file keeps its energies: the Cs-137
// line of a simulated sample reads at the same energy in the saved net spectrum as
// in the sample it was made from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "files/spectrum_file.h"
#include "files/temp_dir.h"
#include "model/bq_calic.h"
#include "model/memory_spectra.h"
#include "support/simulated_spectra.h"

namespace xmca {
namespace {

using H = SpectrumHeader;

// Centroid (in channels) of counts lo..hi above the straight line joining its ends.
double centroid(const std::vector<std::int32_t>& c, int lo, int hi) {
    const double a = c[static_cast<std::size_t>(lo)], b = c[static_cast<std::size_t>(hi)];
    double sum = 0, moment = 0;
    for (int i = lo; i <= hi; ++i) {
        const double base = a + (b - a) * (i - lo) / (hi - lo);
        const double net = std::max(0.0, c[static_cast<std::size_t>(i)] - base);
        sum += net;
        moment += net * i;
    }
    return sum > 0 ? moment / sum : NAN;
}

TEST(NetSpectrumCalibration, CsLineKeepsItsEnergyInTheSavedNetSpectrum) {
    test::TempDir dir;
    SimulatedAnalyserConfig sample;
    sample.cs137 = 3000.0;  // a line that stands well above the continuum
    sample.seed = 21;
    SimulatedAnalyserConfig bg = sample;
    bg.backgroundOnly = true;
    bg.seed = 22;
    const std::string s = dir.file("s.dat"), b = dir.file("b.dat"), net = dir.file("net.dat");
    ASSERT_TRUE(test::acquireAndSave(sample, 18000, s));
    ASSERT_TRUE(test::acquireAndSave(bg, 36000, b));
    // The operator's two-point calibration of this detector (662 keV near channel 660,
    // 1461 keV near 1450), stored in the sample's header.
    const float gain = (1460.8f - 661.7f) / (1450.0f - 660.0f), offset = 661.7f - 660.0f * gain;
    H h;
    std::vector<std::int32_t> raw(kWorkChannels);
    ASSERT_TRUE(readSpectrumFile(s, h, raw).valid);
    h.setF32(H::kCalibMarker, 0.0f);
    h.setF32(H::kCalibCoef1, gain);
    h.setF32(H::kCalibCoef2, offset);
    raw.resize(2048);
    ASSERT_EQ(writeSpectrumFile(s, h, raw), WriteStatus::Ok);

    auto st = std::make_unique<MeasurementState>();
    ASSERT_EQ(readSampleFile(*st, s).memoryStored, 1);
    ASSERT_EQ(readBackgroundFile(*st, b).memoryStored, 2);
    ASSERT_TRUE(bqCalic(*st).computed);
    ASSERT_TRUE(selectMemory(*st, 3));
    ASSERT_EQ(saveSpectrum(*st, net), "");

    H nh;
    std::vector<std::int32_t> netCounts(kWorkChannels);
    const auto r = readSpectrumFile(net, nh, netCounts);
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(nh.channelCount(), kNetChannels);
    ASSERT_TRUE(nh.hasCalibration());
    const double rawKeV = gain * centroid(raw, 620, 700) + offset;
    const double netKeV = nh.f32(H::kCalibCoef1) * centroid(netCounts, 310, 350) + nh.f32(H::kCalibCoef2);
    std::printf("[ figures  ] Cs-137 line: %.1f keV in the sample, %.1f keV in the saved net spectrum\n", rawKeV,
                netKeV);
    EXPECT_NEAR(rawKeV, 661.7, 10.0);  // the simulator's line where the calibration puts it
    EXPECT_NEAR(netKeV, rawKeV, 2.0);  // half a raw channel is the most compression may move it
}

}  // namespace
}  // namespace xmca
