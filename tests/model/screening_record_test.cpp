// The register record made of a screening: the simulated mark, the counting times
// in one zone, the lower limit reached, and what a correction changed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "files/spectrum_file.h"
#include "files/spectrum_header.h"
#include "files/temp_dir.h"
#include "model/local_time.h"
#include "model/screening_record.h"

namespace xmca {
namespace {

using H = SpectrumHeader;

// A 2048-channel spectrum of a flat continuum with a Cs line, started at the given local time.
std::string writeSpectrum(test::TempDir& dir, const std::string& name, int realTenths, double scale, bool simulated,
                          int hour) {
    H h;
    h.setChannelCount(2048);
    h.setF32(H::kCalibMarker, 1.0f);
    h.setI16(H::kYear, 2026);
    h.setI16(H::kMonth, 4);
    h.setI16(H::kDay, 12);
    h.setI16(H::kHour, static_cast<std::int16_t>(hour));
    h.setI16(H::kMinute, 30);
    h.setI16(H::kSecond, 15);
    h.setI32(H::kRealTime, realTenths);
    h.setI32(H::kLiveTime, realTenths - 5);
    h.setI32(H::kPresetTime, realTenths);
    if (simulated) h.markSimulated();
    std::vector<std::int32_t> counts(2048);
    for (int c = 0; c < 2048; ++c) {
        const double line = 400 * std::exp(-0.5 * std::pow((c - 660) / 22.0, 2));
        counts[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(scale * (30 + line));
    }
    const std::string path = dir.file(name);
    EXPECT_EQ(writeSpectrumFile(path, h, counts), WriteStatus::Ok);
    return path;
}

class ScreeningRecordFiles : public ::testing::Test {
protected:
    void SetUp() override {
        // A zone with a fixed offset and no summer time, so the texts are known.
        const char* tz = std::getenv("TZ");
        oldTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "JST-9", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", oldTz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    reg::MeasurementRecord screen(const std::string& sample, const std::string& background, SampleData data = {}) {
        ScreeningOptions options;
        outcome = screenFiles(sample, background, options);
        EXPECT_TRUE(outcome.computed) << outcome.error;
        data.sampleId = data.sampleId.empty() ? "rice-0412" : data.sampleId;
        return measurementRecord(outcome, sample, background, data, options, "det-1", "test");
    }
    test::TempDir dir;
    ScreeningOutcome outcome;

private:
    std::string oldTz_;
    bool hadTz_ = false;
};

TEST_F(ScreeningRecordFiles, TimesInOneZoneAndTheLowerLimitReached) {
    const std::string bg = writeSpectrum(dir, "bg.dat", 36000, 10.0, false, 8);
    const std::string s = writeSpectrum(dir, "s.dat", 18000, 1.0, false, 9);
    const reg::MeasurementRecord r = screen(s, bg);
    EXPECT_FALSE(r.simulated);
    EXPECT_EQ(r.measurementStart, "2026-04-12T09:30:15+09:00");
    EXPECT_EQ(r.measurementEnd, "2026-04-12T10:00:15+09:00");  // 1800 s later
    EXPECT_EQ(r.backgroundStart, "2026-04-12T08:30:15+09:00");
    ASSERT_TRUE(outcome.result.screening.valid);
    ASSERT_TRUE(r.achievedLowerLimit);
    EXPECT_DOUBLE_EQ(*r.achievedLowerLimit, outcome.result.screening.csTotal.lowerLimitOfMeasurement);
    EXPECT_GT(*r.achievedLowerLimit, 0.0);
    // The lower limit reached is another figure than the one required.
    EXPECT_EQ(r.lowerLimit, 25.0);
}

TEST_F(ScreeningRecordFiles, EitherSpectrumFromTheSimulatorMarksTheRecord) {
    const std::string bg = writeSpectrum(dir, "bg.dat", 36000, 10.0, false, 8);
    const std::string simBg = writeSpectrum(dir, "simbg.dat", 36000, 10.0, true, 8);
    const std::string s = writeSpectrum(dir, "s.dat", 18000, 1.0, false, 9);
    const std::string simS = writeSpectrum(dir, "sims.dat", 18000, 1.0, true, 9);
    EXPECT_FALSE(screen(s, bg).simulated);
    EXPECT_TRUE(screen(simS, bg).simulated);
    EXPECT_TRUE(screen(s, simBg).simulated);
    // The mark is the header's note, not the comment the operator types.
    H h;
    h.setText(H::kComment, H::kSimulatedNote);
    EXPECT_FALSE(h.simulated());
    h.markSimulated();
    EXPECT_TRUE(h.simulated());
    EXPECT_TRUE(h.comment() == H::kSimulatedNote);
}

TEST_F(ScreeningRecordFiles, CorrectionNamesWhatChanged) {
    const std::string bg = writeSpectrum(dir, "bg.dat", 36000, 10.0, false, 8);
    const std::string s = writeSpectrum(dir, "s.dat", 18000, 1.0, false, 9);
    SampleData first;
    first.operatorName = "山田";
    const reg::MeasurementRecord original = screen(s, bg, first);
    SampleData again = first;
    again.operatorName = "佐藤";
    reg::MeasurementRecord fix = screen(s, bg, again);
    EXPECT_EQ(changedInputs(original, fix), std::vector<std::string>{"operator"});
    EXPECT_TRUE(changedFigures(original, fix).empty());

    // A figure that changes in its printed decimal is named; below that it is not.
    reg::MeasurementRecord scaled = fix;
    scaled.cs137.activity = *fix.cs137.activity + 0.01;
    EXPECT_TRUE(changedFigures(original, scaled).empty());
    scaled.cs137.activity = *fix.cs137.activity + 0.3;
    scaled.massKg = 0.5;
    scaled.verdict = "Above screening level";
    EXPECT_EQ(changedFigures(original, scaled), (std::vector<std::string>{"Cs-137", "verdict"}));
    EXPECT_EQ(changedInputs(original, scaled), (std::vector<std::string>{"mass", "operator"}));

    // A correction goes in only with its reason.
    EXPECT_TRUE(correctionProblem(fix).empty());  // not a correction
    fix.supersedes = 4;
    EXPECT_FALSE(correctionProblem(fix).empty());
    fix.correctionReason = " \t ";
    EXPECT_FALSE(correctionProblem(fix).empty());
    fix.correctionReason = "operator name";
    EXPECT_TRUE(correctionProblem(fix).empty());
}

TEST_F(ScreeningRecordFiles, LocalTimesCarryTheirOffset) {
    EXPECT_EQ(isoLocalOfUtc("2026-04-12T00:30:00Z"), "2026-04-12T09:30:00+09:00");
    EXPECT_EQ(isoLocalOfUtc("2026-12-31T20:00:00Z"), "2027-01-01T05:00:00+09:00");
    EXPECT_EQ(isoLocalOfUtc("2026-04-12 00:30"), "");
    EXPECT_EQ(isoLocalOfUtc(""), "");
    EXPECT_FALSE(fromLocalFields(2026, 13, 1, 0, 0, 0));
    EXPECT_FALSE(fromLocalFields(0, 1, 1, 0, 0, 0));  // an unset header date
    EXPECT_FALSE(fromLocalFields(2026, 2, 31, 12, 0, 0));  // not a date: no silent 3 March
    EXPECT_TRUE(fromLocalFields(2028, 2, 29, 12, 0, 0));
    setenv("TZ", "EST+5", 1);
    tzset();
    EXPECT_EQ(isoLocalOfUtc("2026-04-12T00:30:00Z"), "2026-04-11T19:30:00-05:00");
    const auto t = fromLocalFields(2026, 4, 11, 19, 30, 0);
    ASSERT_TRUE(t);
    EXPECT_EQ(isoLocal(*t), "2026-04-11T19:30:00-05:00");
}

}  // namespace
}  // namespace xmca
