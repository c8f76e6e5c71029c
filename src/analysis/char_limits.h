// Characteristic limits of a gross window counted against a separately counted
// background (ISO 11929, counting uncertainties only), the screening verdict on
// radiocaesium, and the peak-position check behind the gain warning. Double
// precision throughout.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace xmca::limits {

inline constexpr double kCoverage = 1.645;  // k for 5 % error probabilities
// Calibration factors of the Cs-All and Cs-134 windows, in double precision.
inline constexpr double kFactorCsAll = 106.73;
inline constexpr double kFactorCs134 = 160.12;

// One window: gross counts n_g in t_g seconds, background counts n_0 in t_0
// seconds, calibration factor w (Bq/kg per net count per second) and the
// activity y the computation reported for the window.
struct WindowCounts {
    double grossCounts = 0;
    double grossTime = 0;
    double backgroundCounts = 0;
    double backgroundTime = 0;
    double factor = 0;
    double activity = 0;
};

struct WindowLimits {
    double activity = 0;             // y
    double uncertainty = 0;          // u = w sqrt(r_g / t_g + r_0 / t_0)
    double decisionThreshold = 0;    // y* = k w sqrt(r_0 (1 / t_g + 1 / t_0))
    double detectionLimit = 0;       // y# = 2 y* + k^2 w / t_g
    double lowerLimitOfMeasurement = 0;  // L: net rate three times its own standard deviation
    bool belowDecisionThreshold = false;  // y < y*: shown as "< DL"
};

// nullopt when a time is not positive or a count negative (no limits can be formed).
std::optional<WindowLimits> characteristicLimits(const WindowCounts& c, double k = kCoverage);

// Sample counting time at which the lower limit of measurement reaches `limit`,
// for the background rate r_0 counted t_0 seconds; nullopt when no sample time can
// reach it (the background itself must be counted longer).
std::optional<double> countTimeNeeded(double limit, double factor, double backgroundRate, double backgroundTime);

enum class Verdict { LowerLimitNotMet, BelowLevel, AboveLevel };
const char* verdictText(Verdict v);

// Lower limit of measurement above lowerLimit: not met; else activity below the
// level: below; else above (confirm).
Verdict screeningVerdict(const WindowLimits& csAll, double level, double lowerLimit);

// Centroid of the peak that stands highest in lo - (hi - lo) .. hi + (hi - lo):
// the largest interior local maximum of a running mean over an eighth of the window,
// centroid of that mean around it down to half its height. nullopt when there is no
// such peak.
std::optional<double> peakCentroid(std::span<const std::int32_t> counts, int n, int lo, int hi);

// True when x lies in the middle half of lo..hi.
bool inMiddleHalf(double x, int lo, int hi);

}  // namespace xmca::limits
