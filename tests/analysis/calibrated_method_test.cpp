// End to end on the simulated analyser: standards and samples of known content
// acquired, saved and read back; a method calibrated from the standards and the
// samples screened with it. Each check names the truth and how far off it may read.
#include <gtest/gtest.h>

#include <cmath>

#include "files/temp_dir.h"
#include "model/method_store.h"
#include "model/screening.h"
#include "model/screening_record.h"
#include "model/screening_run.h"
#include "support/simulated_spectra.h"

namespace xmca {
namespace {

// The simulated spectra are stamped 2026-12-08.
constexpr const char* kMeasured = "2026-12-08";
constexpr const char* kYearBefore = "2025-12-08";

SimulatedAnalyserConfig content(double cs134, double cs137, double k40, std::uint64_t seed, double efficiency = 1.0) {
    SimulatedAnalyserConfig c;
    c.cs134 = cs134;
    c.cs137 = cs137;
    c.k40 = k40;
    c.seed = seed;
    c.efficiency = efficiency;
    return c;
}

// One geometry: a ten-hour background and the standards, counted one hour each;
// activities in Bq for a 1 kg nominal mass (the simulator counts Bq/kg).
class Geometry {
public:
    explicit Geometry(double efficiency = 1.0, std::uint64_t seed = 100) : efficiency_(efficiency), seed_(seed) {
        SimulatedAnalyserConfig bg = content(0, 0, 0, seed_ + 1, efficiency_);
        bg.backgroundOnly = true;
        ok_ = test::acquireAndSave(bg, 360000, background()) != nullptr;
    }
    bool ok() const { return ok_; }
    std::string background() const { return dir_.file("bg.dat"); }
    std::string acquire(const std::string& name, double cs134, double cs137, double k40, int tenths = 36000) {
        const std::string path = dir_.file(name);
        ok_ = ok_ && test::acquireAndSave(content(cs134, cs137, k40, ++seed_ * 7919, efficiency_), tenths, path);
        return path;
    }
    CalibrationRequest request() const {
        CalibrationRequest q;
        q.name = "marinelli";
        q.nominalMassKg = 1.0;
        q.backgroundPath = background();
        return q;
    }

private:
    test::TempDir dir_;
    double efficiency_;
    std::uint64_t seed_;
    bool ok_ = false;
};

StandardFile standard(nuclide::Nuclide n, const std::string& path, double bq, const std::string& date) {
    StandardFile s;
    s.nuclide = n;
    s.path = path;
    s.certifiedBq = bq;
    s.referenceDate = date;
    s.relU = 0.03;
    return s;
}

ScreeningOutcome screenWith(const std::string& sample, const std::string& bg, const std::optional<method::Method>& m) {
    ScreeningOptions o;
    o.method = m;
    o.massKg = 1.0;
    ScreeningOutcome out = screenFiles(sample, bg, o);
    EXPECT_TRUE(out.computed) << out.error;
    return out;
}

// Three standards; the Cs-134 certificate is a year old, as a laboratory's usually is.
method::Method calibrated(Geometry& g) {
    CalibrationRequest q = g.request();
    q.standards.push_back(standard(nuclide::Cs137, g.acquire("cs137.dat", 0, 2000, 0), 2000, kMeasured));
    const double cs134Now = 2000 * nuclide::decayFactor(nuclide::Cs134, 365);
    q.standards.push_back(standard(nuclide::Cs134, g.acquire("cs134.dat", cs134Now, 0, 0), 2000, kYearBefore));
    // 1 kg of KCl.
    q.standards.push_back(standard(nuclide::K40, g.acquire("kcl.dat", 0, 0, 16300), 16300, ""));
    const FileCalibration cal = calibrateFromFiles(q);
    EXPECT_TRUE(cal.method) << cal.error;
    return cal.method.value_or(method::Method{});
}

TEST(CalibratedMethod, KelpWithoutCaesiumReadsZeroWhereTheFixedFactorsReadFalseCaesium) {
    Geometry g;
    const method::Method m = calibrated(g);
    const std::string kelp = g.acquire("kelp.dat", 0, 0, 1500, 360000);
    ASSERT_TRUE(g.ok());
    EXPECT_FALSE(m.cs134Assumed);

    const ScreeningOutcome factory = screenWith(kelp, g.background(), std::nullopt);
    const ScreeningOutcome cal = screenWith(kelp, g.background(), m);
    const auto& f = factory.result.screening.csTotal;
    const auto& c = cal.result.screening.csTotal;
    // Truth: 0 Bq/kg of caesium. The K-40 continuum under the Cs windows reads
    // about 17 Bq/kg per 1 000 Bq/kg of K-40 with the fixed factors.
    EXPECT_GT(f.activity, 15.0);
    EXPECT_GT(f.activity, 10 * f.uncertainty);
    EXPECT_NEAR(c.activity, 0.0, 3 * c.uncertainty);
    EXPECT_TRUE(c.belowDecisionThreshold);
    EXPECT_NEAR(cal.result.activity[kRowK40].bqPerKg, 1500.0, 3 * cal.result.activity[kRowK40].sigma);
    EXPECT_EQ(cal.result.method.name, "marinelli");
    EXPECT_EQ(verdictText(cal.result), "Below screening level");
    ASSERT_TRUE(cal.factoryCsAll);
    EXPECT_FLOAT_EQ(cal.factoryCsAll->bqPerKg, static_cast<float>(f.activity));
}

TEST(CalibratedMethod, CaesiumInAPotassiumRichSampleReadsTrue) {
    Geometry g(1.0, 300);
    const method::Method m = calibrated(g);
    const std::string mix = g.acquire("mix.dat", 0, 40, 1000, 360000);
    ASSERT_TRUE(g.ok());
    const ScreeningOutcome cal = screenWith(mix, g.background(), m);
    const auto& c = cal.result.screening.csTotal;
    EXPECT_NEAR(c.activity, 40.0, 3 * c.uncertainty);
    EXPECT_NEAR(cal.result.activity[kRowCs137].bqPerKg, 40.0, 3 * cal.result.activity[kRowCs137].sigma);
    EXPECT_NEAR(cal.result.activity[kRowCs134].bqPerKg, 0.0, 3 * cal.result.activity[kRowCs134].sigma);
    // The calibration's 3 % is in u: more than counting alone.
    EXPECT_GT(c.uncertainty, 0.03 * 40.0);
    EXPECT_EQ(verdictText(cal.result), "Below screening level");
}

TEST(CalibratedMethod, Cs134sOwnLinesAndTheK40ContinuumAreNoUnexplainedPeak) {
    // Cs-134's 563-802 keV lines, its 1365 keV line and the 605+796 keV sum peak,
    // over a K-40-rich continuum, counted long enough for every one to be significant.
    Geometry g(1.0, 700);
    const method::Method m = calibrated(g);
    const std::string rich = g.acquire("rich.dat", 400, 100, 1500, 360000);
    ASSERT_TRUE(g.ok());
    for (const std::optional<method::Method>& with : {std::optional<method::Method>(), std::optional(m)}) {
        const ScreeningOutcome out = screenWith(rich, g.background(), with);
        EXPECT_FALSE(out.result.screening.gain.unexplainedKeV) << *out.result.screening.gain.unexplainedKeV;
        EXPECT_EQ(verdictText(out.result), "Above screening level - confirm");
    }
}

TEST(CalibratedMethod, ACs134StandardLeftUncorrectedForAYearReadsFortyPercentHigh) {
    Geometry g(1.0, 500);
    CalibrationRequest q = g.request();
    q.standards.push_back(standard(nuclide::Cs137, g.acquire("cs137.dat", 0, 2000, 0), 2000, kMeasured));
    const double cs134Now = 2000 * nuclide::decayFactor(nuclide::Cs134, 365);
    const std::string cs134 = g.acquire("cs134.dat", cs134Now, 0, 0);
    const std::string sample = g.acquire("cs134_sample.dat", 100, 0, 0, 360000);
    ASSERT_TRUE(g.ok());

    CalibrationRequest corrected = q, uncorrected = q;
    corrected.standards.push_back(standard(nuclide::Cs134, cs134, 2000, kYearBefore));
    // The certificate's activity taken as if it held on the day of the count.
    uncorrected.standards.push_back(standard(nuclide::Cs134, cs134, 2000, kMeasured));
    const FileCalibration a = calibrateFromFiles(corrected), b = calibrateFromFiles(uncorrected);
    ASSERT_TRUE(a.method && b.method) << a.error << b.error;
    EXPECT_NEAR(a.method->standards[1].decayFactor, 0.715, 0.001);
    EXPECT_DOUBLE_EQ(b.method->standards[1].decayFactor, 1.0);

    const activity::Figure good = screenWith(sample, g.background(), a.method).result.activity[kRowCs134];
    const activity::Figure bad = screenWith(sample, g.background(), b.method).result.activity[kRowCs134];
    EXPECT_NEAR(good.bqPerKg, 100.0, 3 * good.sigma);
    // 1 / 0.715: the response is under-stated by the decay, the sample over-stated.
    EXPECT_NEAR(bad.bqPerKg / good.bqPerKg, 1.40, 0.01);
}

TEST(CalibratedMethod, AnotherGeometryIsCalibratedWhereTheFixedFactorsReadDouble) {
    Geometry g(2.0, 700);
    CalibrationRequest q = g.request();
    q.standards.push_back(standard(nuclide::Cs137, g.acquire("cs137.dat", 0, 1000, 0), 1000, kMeasured));
    const std::string sample = g.acquire("s.dat", 0, 30, 0, 72000);
    ASSERT_TRUE(g.ok());
    const FileCalibration cal = calibrateFromFiles(q);
    ASSERT_TRUE(cal.method) << cal.error;
    // Only Cs-137 measured: the other columns from the fixed factors, said so.
    EXPECT_TRUE(cal.method->cs134Assumed);
    EXPECT_TRUE(cal.method->k40Assumed);
    const auto factory = screenWith(sample, g.background(), std::nullopt).result.screening.csTotal;
    const auto method = screenWith(sample, g.background(), cal.method).result.screening.csTotal;
    EXPECT_NEAR(factory.activity, 60.0, 3 * factory.uncertainty);
    EXPECT_NEAR(method.activity, 30.0, 3 * method.uncertainty);
}

TEST(CalibratedMethod, StandardsWithoutTheirPeakOrWithBadCertificatesAreRefused) {
    Geometry g(1.0, 900);
    const std::string cs137 = g.acquire("cs137.dat", 0, 2000, 0);
    const std::string cs134 = g.acquire("cs134.dat", 2000, 0, 0);
    ASSERT_TRUE(g.ok());
    auto refused = [&](std::vector<StandardFile> standards) {
        CalibrationRequest q = g.request();
        q.standards = std::move(standards);
        const FileCalibration c = calibrateFromFiles(q);
        EXPECT_FALSE(c.method);
        return c.error;
    };
    EXPECT_EQ(refused({standard(nuclide::Cs137, g.background(), 2000, kMeasured)}),
              "Error ! the Cs-137 standard is the background file");
    // Cs-134's 605 keV line lies in the Cs-All window, but it is not Cs-137's peak.
    EXPECT_EQ(refused({standard(nuclide::Cs137, cs134, 2000, kMeasured)}),
              "Error ! the Cs-137 standard holds no significant Cs-137 peak");
    EXPECT_EQ(refused({standard(nuclide::Cs137, cs137, 2000, kMeasured), standard(nuclide::Cs134, cs137, 2000, kMeasured)}),
              "Error ! the Cs-134 standard holds no significant Cs-134 peak");
    EXPECT_EQ(refused({standard(nuclide::Cs137, cs137, 0, kMeasured)}),
              "Error ! the Cs-137 standard's activity must be above 0 Bq");
    EXPECT_EQ(refused({standard(nuclide::Cs137, cs137, 2000, "2026-12-09")}),
              "Error ! the Cs-137 standard's reference date is after its spectrum was measured");
    EXPECT_EQ(refused({standard(nuclide::Cs134, cs134, 2000, kMeasured)}), "Error ! a Cs-137 standard is needed");
    // Spectra of another channel count: the windows do not stand on their lines.
    test::TempDir other;
    SimulatedAnalyserConfig b4096 = content(0, 0, 0, 901);
    b4096.backgroundOnly = true;
    ASSERT_TRUE(test::acquireAndSave(b4096, 36000, other.file("bg.dat"), 4096));
    ASSERT_TRUE(test::acquireAndSave(content(0, 2000, 0, 902), 36000, other.file("cs137.dat"), 4096));
    CalibrationRequest q = g.request();
    q.backgroundPath = other.file("bg.dat");
    q.standards = {standard(nuclide::Cs137, other.file("cs137.dat"), 2000, kMeasured)};
    EXPECT_EQ(calibrateFromFiles(q).error, "Error ! a method needs spectra of 2048 channels");
}

TEST(CalibratedMethod, FiguresAreDecayCorrectedToTheSamplingDateWhenAskedAndRecordedWithTheMethod) {
    Geometry g(1.0, 1100);
    const method::Method m = calibrated(g);
    // Counted a year after sampling: Cs-134 has fallen to 0.715 of what it was.
    const std::string sample = g.acquire("old.dat", 60, 100, 500, 360000);
    ASSERT_TRUE(g.ok());
    ScreeningOptions o;
    o.method = m;
    o.massKg = 1.0;
    o.samplingDate = kYearBefore;
    const ScreeningOutcome atMeasurement = screenFiles(sample, g.background(), o);
    o.decayToSampling = true;
    const ScreeningOutcome atSampling = screenFiles(sample, g.background(), o);
    ASSERT_TRUE(atMeasurement.computed && atSampling.computed);
    const auto& a = atMeasurement.result.activity;
    const auto& b = atSampling.result.activity;
    EXPECT_NEAR(a[kRowCs134].bqPerKg, 60.0, 3 * a[kRowCs134].sigma);
    EXPECT_NEAR(b[kRowCs134].bqPerKg / a[kRowCs134].bqPerKg, 1.0 / nuclide::decayFactor(nuclide::Cs134, 365), 1e-3);
    EXPECT_NEAR(b[kRowCs137].bqPerKg / a[kRowCs137].bqPerKg, 1.0 / nuclide::decayFactor(nuclide::Cs137, 365), 1e-3);
    EXPECT_NEAR(b[kRowCsAll].bqPerKg, b[kRowCs134].bqPerKg + b[kRowCs137].bqPerKg, 0.1);
    EXPECT_NEAR(b[kRowK40].bqPerKg, a[kRowK40].bqPerKg, 1e-3);  // no decay
    EXPECT_TRUE(atMeasurement.result.method.decayCorrectedTo.empty());
    EXPECT_EQ(atSampling.result.method.decayCorrectedTo, kYearBefore);
    EXPECT_NE(methodText(atSampling.result).find("decay-corrected to 2025-12-08"), std::string::npos);

    // The record names the method and its version.
    SampleData data;
    data.sampleId = "kombu";
    data.massKg = 1.0;
    const reg::MeasurementRecord rec =
        measurementRecord(atSampling, sample, g.background(), data, o, "lab", programVersion());
    EXPECT_EQ(rec.methodName, "marinelli");
    EXPECT_EQ(rec.methodVersion, m.version);
    EXPECT_NE(rec.method.find("method marinelli v"), std::string::npos) << rec.method;

    // A sampling date after the count: no correction, and no verdict on the figures.
    o.samplingDate = "2026-12-09";
    const ScreeningOutcome wrong = screenFiles(sample, g.background(), o);
    EXPECT_EQ(verdictText(wrong.result), "No verdict - no decay correction: the sampling date is not before the measurement");
}

TEST(CalibratedMethod, AMassOutsideTheRangeWithholdsTheVerdict) {
    Geometry g(1.0, 1300);
    const method::Method m = calibrated(g);
    const std::string sample = g.acquire("s.dat", 0, 80, 0, 36000);
    ASSERT_TRUE(g.ok());
    ScreeningOptions o;
    o.method = m;
    for (const double kg : {0.85, 1.15}) {
        o.massKg = kg;
        EXPECT_EQ(verdictText(screenFiles(sample, g.background(), o).result), "Above screening level - confirm") << kg;
    }
    o.massKg = 0.5;  // half the nominal fill: the geometry is another
    const ScreeningOutcome half = screenFiles(sample, g.background(), o);
    EXPECT_EQ(verdictText(half.result), "No verdict - mass outside the method's range");
    // The figures are still shown, per kg of what was weighed.
    EXPECT_NEAR(half.result.activity[kRowCsAll].bqPerKg, 160.0, 3 * half.result.activity[kRowCsAll].sigma);
}

}  // namespace
}  // namespace xmca
