// End to end: a sample of known activity and a background acquired from the
// simulated analyser, saved, read back with "ReadSpec" / "BG File" and run through
// "Bq Calic"; the activities must come back within their counting uncertainties.
#include <gtest/gtest.h>

#include <cmath>

#include "files/temp_dir.h"
#include "model/bq_calic.h"
#include "support/simulated_spectra.h"

namespace xmca {
namespace {

struct Acquired {
    test::TempDir dir;
    std::string sample = dir.file("sample.dat");
    std::string background = dir.file("background.dat");
};

std::unique_ptr<MeasurementState> computed(const Acquired& a) {
    auto s = std::make_unique<MeasurementState>();
    EXPECT_EQ(readSampleFile(*s, a.sample).memoryStored, 1);
    EXPECT_EQ(readBackgroundFile(*s, a.background).memoryStored, 2);
    const CalicOutcome out = bqCalic(*s);
    EXPECT_TRUE(out.computed) << out.edit1;
    return s;
}

TEST(KnownActivity, SimulatedSampleComesBackWithinThreeSigma) {
    Acquired a;
    SimulatedAnalyserConfig sample;
    sample.cs134 = 120.0;
    sample.cs137 = 250.0;
    sample.k40 = 150.0;
    sample.seed = 7;
    SimulatedAnalyserConfig bg = sample;
    bg.backgroundOnly = true;
    bg.seed = 8;
    ASSERT_TRUE(test::acquireAndSave(sample, 36000, a.sample));
    ASSERT_TRUE(test::acquireAndSave(bg, 36000, a.background));

    auto s = computed(a);
    const ActivityResult& r = s->activity;
    ASSERT_TRUE(r.valid);
    EXPECT_FLOAT_EQ(r.countingTime, 3600.0f);
    const double expected[4] = {370.0, 120.0, 250.0, 150.0};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(kActivityRowLabels[row]);
        const auto& f = r.activity[static_cast<std::size_t>(row)];
        EXPECT_GT(f.sigma, 0.0f);
        EXPECT_NEAR(f.bqPerKg, expected[row], 3.0 * f.sigma);
    }
    // The record and the ROI table agree.
    EXPECT_EQ(r.windows[kWinCsAll].net, s->rois[2].net);
    EXPECT_EQ(r.windows[kWinK40].gross, s->rois[1].gross);
    // The K-40 line of the background sits in the middle of its window.
    ASSERT_TRUE(r.screening.valid);
    EXPECT_TRUE(r.screening.gain.ok) << r.screening.gain.warning;
    ASSERT_TRUE(r.screening.gain.k40Channel);
    EXPECT_NEAR(*r.screening.gain.k40Channel, 725.0, 8.0);
}

}  // namespace
}  // namespace xmca
