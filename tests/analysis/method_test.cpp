// The method's arithmetic on counts made to order: the solve, the limits against
// the single-window formulas they must reduce to, the calibration's uncertainty in
// them, the decay table and the method's text form.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/char_limits.h"
#include "analysis/method.h"
#include "analysis/method_text.h"
#include "analysis/nuclide_data.h"

namespace xmca::method {
namespace {

// A response with Cs-134 in Cs-All, K-40's continuum in both Cs windows.
Response mixed() {
    Response r;
    r.value = {{{0.0094, 0.0174, 0.00016}, {0.0, 0.0080, 0.00010}, {0.0, 0.0002, 0.00049}}};
    return r;
}

// Window sums that the response gives for these activities (Bq), on top of a
// background of bgRate counts/s per window, counted t seconds.
CountedSpectrum counted(const Response& r, const std::array<double, 3>& bq, const std::array<double, 3>& bgRate,
                        double t) {
    CountedSpectrum s;
    s.timeS = t;
    for (int w = 0; w < 3; ++w) {
        double rate = bgRate[w];
        for (int n = 0; n < 3; ++n) rate += r.value[w][n] * bq[n];
        s.sums[w] = rate * t;
    }
    return s;
}

const std::array<double, 3> kBgRate{0.5, 0.2, 0.3};

CountedSpectrum background(double t) { return counted(mixed(), {0, 0, 0}, kBgRate, t); }

TEST(MethodEvaluation, SolvesTheWindowRatesForEachNuclide) {
    const Response r = mixed();
    const Evaluation ev = evaluate(r, counted(r, {40, 10, 1500}, kBgRate, 36000), background(36000), 2.0);
    ASSERT_TRUE(ev.ok);
    // Per kg of the 2 kg sample.
    EXPECT_NEAR(ev.rows[kRowCs137].value, 20.0, 1e-9);
    EXPECT_NEAR(ev.rows[kRowCs134].value, 5.0, 1e-9);
    EXPECT_NEAR(ev.rows[kRowCsAll].value, 25.0, 1e-9);
    EXPECT_NEAR(ev.rows[kRowK40].value, 750.0, 1e-6);
    EXPECT_NEAR(ev.activityBq[0], 40.0, 1e-9);
    // Cs-All's variance is the sum of its two nuclides' with their covariance.
    const double v = ev.covarianceBq[0][0] + ev.covarianceBq[1][1] + 2 * ev.covarianceBq[0][1];
    EXPECT_NEAR(ev.rows[kRowCsAll].u, std::sqrt(v) / 2.0, 1e-9);
    // The K-40 continuum is taken off Cs-All: without K-40 the same Cs reads the same.
    const Evaluation noK = evaluate(r, counted(r, {40, 10, 0}, kBgRate, 36000), background(36000), 2.0);
    EXPECT_NEAR(noK.rows[kRowCsAll].value, 25.0, 1e-9);
    EXPECT_LT(noK.rows[kRowCsAll].u, ev.rows[kRowCsAll].u);
}

TEST(MethodEvaluation, OneWindowWithoutCalibrationUncertaintyGivesTheSingleWindowLimits) {
    // Cs-137 alone in Cs-All, nothing else anywhere: the single-window formulas.
    Response r;
    r.value = {{{1.0 / 106.73, 0, 0}, {0, 1.0 / 160.12, 0}, {0, 0, 1.0 / 1900}}};
    const double tg = 3600, t0 = 36000;
    const CountedSpectrum s = counted(r, {30, 0, 0}, kBgRate, tg), b = counted(r, {0, 0, 0}, kBgRate, t0);
    const Evaluation ev = evaluate(r, s, b, 1.0);
    ASSERT_TRUE(ev.ok);
    const auto single = limits::characteristicLimits({s.sums[0], tg, b.sums[0], t0, 106.73, 30.0});
    ASSERT_TRUE(single);
    const Limits& l = ev.rows[kRowCs137];
    EXPECT_NEAR(l.value, 30.0, 1e-9);
    EXPECT_NEAR(l.u, single->uncertainty, 1e-9);
    EXPECT_NEAR(l.decisionThreshold, single->decisionThreshold, 1e-9);
    ASSERT_TRUE(l.detectionLimit && l.lowerLimitOfMeasurement);
    EXPECT_NEAR(*l.detectionLimit, single->detectionLimit, 1e-9);
    EXPECT_NEAR(*l.lowerLimitOfMeasurement, single->lowerLimitOfMeasurement, 1e-9);
}

TEST(MethodEvaluation, TheCalibrationsUncertaintyWidensTheLimitsAndCanLeaveNone) {
    Response r = mixed();
    const CountedSpectrum s = counted(r, {100, 0, 0}, kBgRate, 3600), b = background(36000);
    const Limits plain = evaluate(r, s, b, 1.0).rows[kRowCs137];
    r.activityRelU = {0.05, 0.05, 0.05};
    const Limits withU = evaluate(r, s, b, 1.0).rows[kRowCs137];
    EXPECT_NEAR(withU.relU, 0.05, 1e-12);
    EXPECT_NEAR(withU.u * withU.u, plain.u * plain.u + 25.0, 1e-6);  // (0.05 x 100)^2 added
    EXPECT_DOUBLE_EQ(withU.decisionThreshold, plain.decisionThreshold);  // at y = 0 it does not count
    ASSERT_TRUE(withU.detectionLimit && plain.detectionLimit);
    const double k = 1.645;
    EXPECT_NEAR(*withU.detectionLimit, *plain.detectionLimit / (1 - k * k * 0.0025), 1e-9);
    // k u_rel >= 1: no detection limit exists; 3 u_rel >= 1: no lower limit of measurement.
    r.activityRelU = {0.4, 0.4, 0.4};
    const Limits wide = evaluate(r, s, b, 1.0).rows[kRowCs137];
    EXPECT_FALSE(wide.lowerLimitOfMeasurement);
    EXPECT_TRUE(wide.detectionLimit);
    r.activityRelU = {0.7, 0.7, 0.7};
    EXPECT_FALSE(evaluate(r, s, b, 1.0).rows[kRowCs137].detectionLimit);
}

TEST(MethodEvaluation, RefusesWhatCannotBeSolved) {
    const Response r = mixed();
    EXPECT_FALSE(evaluate(r, background(0), background(36000), 1.0).ok);
    EXPECT_FALSE(evaluate(r, background(3600), background(36000), 0.0).ok);
    Response singular = r;
    singular.value[2] = singular.value[1];  // two windows that see the same
    EXPECT_FALSE(evaluate(singular, background(3600), background(36000), 1.0).ok);
}

TEST(MethodEvaluation, ScaleCorrectsEachNuclideOnItsOwn) {
    const Response r = mixed();
    const Evaluation ev =
        evaluate(r, counted(r, {40, 10, 100}, kBgRate, 36000), background(36000), 1.0, 1.645, {1.0, 2.0, 1.0});
    EXPECT_NEAR(ev.rows[kRowCs134].value, 20.0, 1e-9);
    EXPECT_NEAR(ev.rows[kRowCsAll].value, 60.0, 1e-9);
    EXPECT_NEAR(ev.rows[kRowCs137].value, 40.0, 1e-9);
}

TEST(MethodEvaluation, CountTimeNeededMeetsTheLowerLimit) {
    const Response r = mixed();
    const CountedSpectrum s = counted(r, {0, 0, 500}, kBgRate, 600), b = background(36000);
    const auto t = countTimeNeeded(r, s, b, 1.0, 25.0);
    ASSERT_TRUE(t);
    CountedSpectrum longer = s;
    for (double& v : longer.sums) v = v / 600 * *t;
    longer.timeS = *t;
    EXPECT_NEAR(*evaluate(r, longer, b, 1.0).rows[kRowCsAll].lowerLimitOfMeasurement, 25.0, 0.05);
    EXPECT_FALSE(countTimeNeeded(r, s, b, 1.0, 0.01));  // the background's own count is too short
}

TEST(FactoryMethod, ReproducesTheFixedFactors) {
    const Method m = factoryMethod(0.0);
    EXPECT_TRUE(m.isFactory());
    // 1 cps net in Cs-All and nothing else: 106.73 Bq/kg of Cs-137.
    CountedSpectrum s, b;
    s.timeS = b.timeS = 1000;
    s.sums = {1000, 0, 0};
    const Evaluation ev = evaluate(m.response, s, b, 1.0);
    EXPECT_NEAR(ev.rows[kRowCsAll].value, 106.73, 1e-9);
    EXPECT_NEAR(ev.rows[kRowCs134].value, 0.0, 1e-9);
    s.sums = {0, 1000, 1000};  // Cs-134 window 1 cps: 160.12 of Cs-134, its share taken off K-40
    const Evaluation c134 = evaluate(m.response, s, b, 1.0);
    EXPECT_NEAR(c134.rows[kRowCs134].value, 160.12, 1e-9);
    EXPECT_NEAR(c134.rows[kRowK40].value, 1900.0 - 160.12, 1e-6);
    EXPECT_NEAR(c134.rows[kRowCs137].value, -160.12, 1e-9);  // Cs-All holds none
    // Stated per Bq at the nominal mass.
    EXPECT_NEAR(factoryMethod(2.0).response.value[0][0], 1.0 / 106.73 / 2.0, 1e-15);
}

TEST(MethodMass, RangeHoldsItsEnds) {
    Method m;
    EXPECT_TRUE(m.massAccepted(123.0));  // no range stated
    m.massLoKg = 0.85;
    m.massHiKg = 1.15;
    EXPECT_TRUE(m.massAccepted(0.85));
    EXPECT_TRUE(m.massAccepted(1.15));
    EXPECT_FALSE(m.massAccepted(0.84));
    EXPECT_FALSE(m.massAccepted(1.2));
}

TEST(MethodText, ReadsBackWhatWasWritten) {
    Method m;
    m.name = "U8 pot";
    m.version = 3;
    m.geometry = "U8 container,\tfilled to 5 cm\nby weight";
    m.nominalMassKg = 0.1;
    m.massLoKg = 0.085;
    m.massHiKg = 0.115;
    m.calibratedUtc = "2026-12-08T10:00:00Z";
    m.response = mixed();
    m.response.countingU[1][2] = 1.234567890123e-7;
    m.response.activityRelU = {0.03, 0.031, 0.02};
    m.cs134Assumed = true;
    Standard s;
    s.nuclide = nuclide::Cs134;
    s.file = "/data/std 134.dat";
    s.sha256 = "ab12";
    s.certifiedBq = 2000.5;
    s.referenceDate = "2025-12-08";
    s.relU = 0.03;
    s.measured = "2026-12-08 09:30";
    s.decayFactor = 0.715;
    m.standards = {s, s};
    m.standards[1].nuclide = nuclide::K40;
    m.standards[1].referenceDate.clear();
    const auto back = fromText(toText(m));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, m.name);
    EXPECT_EQ(back->version, 3);
    EXPECT_EQ(back->geometry, "U8 container, filled to 5 cm by weight");  // one line
    EXPECT_EQ(back->massHiKg, m.massHiKg);
    EXPECT_EQ(back->response.value, m.response.value);
    EXPECT_EQ(back->response.countingU, m.response.countingU);
    EXPECT_EQ(back->response.activityRelU, m.response.activityRelU);
    EXPECT_TRUE(back->cs134Assumed);
    EXPECT_FALSE(back->k40Assumed);
    ASSERT_EQ(back->standards.size(), 2u);
    EXPECT_EQ(back->standards[0].nuclide, nuclide::Cs134);
    EXPECT_EQ(back->standards[0].file, s.file);
    EXPECT_EQ(back->standards[0].measured, s.measured);
    EXPECT_EQ(back->standards[0].decayFactor, 0.715);
    EXPECT_EQ(back->standards[1].nuclide, nuclide::K40);
    EXPECT_EQ(back->standards[1].referenceDate, "");

    EXPECT_FALSE(fromText("name=x\nversion=1\n"));
    std::string broken = toText(m);
    broken.replace(broken.find("response="), 9, "response=1 2 x ");
    EXPECT_FALSE(fromText(broken));
}

TEST(NuclideData, DecaysByItsHalfLife) {
    using namespace nuclide;
    EXPECT_NEAR(decayFactor(Cs137, kCs137HalfLifeYears * kDaysPerYear), 0.5, 1e-12);
    EXPECT_NEAR(decayFactor(Cs134, 365.25), 0.7149, 0.0001);
    EXPECT_DOUBLE_EQ(decayFactor(K40, 1e6), 1.0);
    EXPECT_DOUBLE_EQ(decayFactor(Cs134, 0), 1.0);
    EXPECT_STREQ(data(Cs134).name, "Cs-134");
    EXPECT_DOUBLE_EQ(kKclBqPerGram, 16.3);
}

TEST(NuclideData, CountsCalendarDays) {
    using namespace nuclide;
    EXPECT_EQ(dayNumber("1970-01-01"), 0);
    ASSERT_TRUE(dayNumber("2024-03-01") && dayNumber("2024-02-28"));
    EXPECT_EQ(*dayNumber("2024-03-01") - *dayNumber("2024-02-28"), 2);  // a leap year
    EXPECT_EQ(*dayNumber("2026-12-08") - *dayNumber("2025-12-08"), 365);
    for (const char* bad : {"2026-02-29", "2026-13-01", "2026-1-01", "26-01-01", "2026/01/01", "", "2026-01-0x"})
        EXPECT_FALSE(dayNumber(bad)) << bad;
    ASSERT_TRUE(dayTime("2026-12-08 18:00"));
    EXPECT_NEAR(*dayTime("2026-12-08 18:00") - *dayNumber("2026-12-08"), 0.75, 1e-12);
    EXPECT_FALSE(dayTime("2026-12-08 24:00"));
    EXPECT_FALSE(dayTime("2026-12-08T18:00"));
}

}  // namespace
}  // namespace xmca::method
