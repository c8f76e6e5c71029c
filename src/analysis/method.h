// A laboratory's calibrated method as a value: the response of each analysis window
// to each nuclide (counts per second per Bq, with uncertainties), the standards and
// background it was made from, its geometry and mass range. Calibration forms the
// response from standard spectra; evaluation solves a sample's window rates for the
// three activities and forms their characteristic limits (ISO 11929) with the
// calibration's uncertainty included.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/nuclide_data.h"

namespace xmca::method {

using nuclide::Nuclide;

// The fixed analysis windows of the activity computation, in channels of the
// 2:1 compressed spectrum (ends included): raw channels 2 lo .. 2 hi + 1.
enum Window { kCsAllWindow = 0, kCs134Window = 1, kK40Window = 2, kWindowCount = 3 };
struct WindowRange {
    int lo, hi;
};
inline constexpr WindowRange kWindowRanges[kWindowCount] = {{272, 354}, {372, 420}, {686, 756}};
const char* windowName(int w);  // "Cs-All", "Cs-134", "K-40"

// The name of the method of the fixed factors, the default until a laboratory sets its own.
inline constexpr const char* kFactoryName = "factory";

using Matrix3 = std::array<std::array<double, 3>, 3>;  // [window][nuclide]

struct Response {
    Matrix3 value{};      // counts/s per Bq
    Matrix3 countingU{};  // standard uncertainty of each value from counting statistics
    // Relative standard uncertainty of each nuclide's certified activity (it moves
    // a whole column together).
    std::array<double, 3> activityRelU{};
    // Combined standard uncertainty of one value (counting and activity).
    double u(int window, int nuclide) const;
};

struct Standard {
    Nuclide nuclide = Nuclide::Cs137;
    std::string file, sha256;
    double certifiedBq = 0;
    std::string referenceDate;  // "YYYY-MM-DD" (empty: K-40, which does not decay)
    double relU = 0;            // stated relative standard uncertainty (0.03 = 3 %)
    std::string measured;       // the spectrum's start "YYYY-MM-DD HH:MM"
    double decayFactor = 1;     // activity at the spectrum's start / certified activity
};

struct Method {
    std::string name = kFactoryName;
    int version = 1;
    std::string geometry;
    double nominalMassKg = 0;  // 0: not stated (the factory method without a laboratory mass)
    double massLoKg = 0, massHiKg = 0;
    std::string backgroundFile, backgroundSha256;
    std::string calibratedUtc;  // "YYYY-MM-DDTHH:MM:SSZ" of the calibration
    std::vector<Standard> standards;
    Response response;
    bool cs134Assumed = false;  // no Cs-134 standard: its column from the fixed factors
    bool k40Assumed = false;    // no K-40 standard: its column from the fixed factors
    bool isFactory() const { return name == kFactoryName; }
    // True when massKg lies in the accepted range (any mass for a range not set).
    bool massAccepted(double massKg) const;
};

// The factory method: the fixed factors (106.73 Bq/kg per cps in Cs-All for Cs-137
// and Cs-134, 160.12 in Cs-134, 1900 in K-40 with Cs-134 in it) at the nominal mass
// (1 kg when not set).
Method factoryMethod(double nominalMassKg);

// Window sums of a spectrum: raw channels 2 lo .. 2 hi + 1 of each window, counted
// exactly (no smoothing, no truncation).
std::array<double, 3> windowSums(std::span<const std::int32_t> counts, int channels);

// One spectrum as the method sees it: its window sums and its counting time.
struct CountedSpectrum {
    std::array<double, 3> sums{};
    double timeS = 0;
};

// ---------------------------------------------------------------- calibration

struct StandardInput {
    Standard standard;  // certified activity, reference date, relU, names; decayFactor is filled
    CountedSpectrum spectrum;
    // Counts of the standard and the background (same channel count), for the peak check.
    std::span<const std::int32_t> counts, backgroundCounts;
    int channels = 0;
    std::optional<double> measuredDay;  // days since 1970 of the spectrum's start
};

enum class CalibrationError {
    None,
    NoCs137Standard,
    DuplicateStandard,
    ActivityNotPositive,
    NoReferenceDate,
    NoSpectrumDate,
    ReferenceAfterSpectrum,
    NoSignificantPeak,
    BadCountingTime,
    SingularResponse,
};
// English text of an error (without "Error !"), naming the standard's nuclide.
std::string calibrationErrorText(CalibrationError e, const std::string& nuclideName);

struct CalibrationOutcome {
    CalibrationError error = CalibrationError::None;
    std::string errorNuclide;  // the standard the error is about
    Response response;
    std::vector<Standard> standards;  // with their decay factors
    bool cs134Assumed = false, k40Assumed = false;
};

CalibrationOutcome calibrate(const CountedSpectrum& background, std::vector<StandardInput> standards);

// True when the net spectrum (standard less time-scaled background) holds a peak of
// the nuclide: the net count of its window is at least 3 standard deviations and the
// highest peak there stands at the nuclide's line (662, 796 or 1461 keV).
bool hasPeakOf(Nuclide n, std::span<const std::int32_t> counts, std::span<const std::int32_t> background,
               int channels, double backgroundScale);

// ---------------------------------------------------------------- evaluation

// One figure in Bq/kg with its characteristic limits.
struct Limits {
    double value = 0;
    double u = 0;                  // combined standard uncertainty (counting and calibration)
    double decisionThreshold = 0;  // y*
    std::optional<double> detectionLimit;           // y#; none when 1 - k^2 u_rel^2 <= 0
    std::optional<double> lowerLimitOfMeasurement;  // y = 3 u(y); none when 1 - 9 u_rel^2 <= 0
    double relU = 0;               // the calibration's relative uncertainty for this figure
    bool belowDecisionThreshold = false;
};

// Rows as the activity box shows them.
enum Row { kRowCsAll = 0, kRowCs134 = 1, kRowCs137 = 2, kRowK40 = 3, kRowCount = 4 };

struct Evaluation {
    bool ok = false;  // false: no positive times or mass, or a response that cannot be solved
    std::array<Limits, kRowCount> rows{};
    std::array<double, 3> activityBq{};  // solved activities (Bq) of Cs-137, Cs-134, K-40
    Matrix3 covarianceBq{};              // their counting covariance
    double massKg = 0;
};

// Solves the sample's net window rates (background scaled by the times, exactly)
// for the activities and forms each row's limits with coverage k. scale multiplies
// each nuclide's activity in the rows (a decay correction; 1 = as measured).
Evaluation evaluate(const Response& r, const CountedSpectrum& sample, const CountedSpectrum& background,
                    double massKg, double k = 1.645, const std::array<double, 3>& scale = {1.0, 1.0, 1.0});

// Sample counting time at which the Cs-All row's lower limit of measurement reaches
// `limit` with the same rates; nullopt when no time can reach it.
std::optional<double> countTimeNeeded(const Response& r, const CountedSpectrum& sample,
                                      const CountedSpectrum& background, double massKg, double limit,
                                      const std::array<double, 3>& scale = {1.0, 1.0, 1.0});

}  // namespace xmca::method
