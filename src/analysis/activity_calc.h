// The arithmetic of the activity computation on plain count arrays: 2:1
// compression, the three-pass smoothing with spike levelling, the time-scaled
// background subtraction, the window sums with the optional trapezoid baseline,
// and the activities in Bq/kg with their counting uncertainties.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace xmca::activity {

// Conversion factors (Bq/kg per net count per second) of the fixed geometry.
inline constexpr float kFactorCsAll = 106.73f;
inline constexpr float kFactorCs134 = 160.12f;
inline constexpr float kFactorK40 = 1900.0f;

// Channels the smoothing never changes at the low end.
inline constexpr int kSmoothFirst = 10;

// Compression 2:1 of the first n channels in place: channel j takes 2j + 2j+1 for
// j < n/2, channels n/2 .. n-1 become 0. n is clamped to the array.
void compress(std::span<std::int32_t> s, int n);

// Pass 1 of the smoothing alone: work[i] = trunc(5-point-wide kernel + 0.5) for
// i = 10 .. n-6, and a channel more than sqrt(kernel) from it (kernel above 1) is
// levelled in place with the neighbour it differs from most, the right one on ties
// (not when that neighbour lies outside 10 .. n-6).
// Returns the last channel passed over (9 when none was).
int levelSpikes(std::span<std::int32_t> s, std::span<std::int32_t> work, int n);

// The three smoothing passes over channels 10 .. n-6 (pass 1: 5-point kernel with
// spike levelling in place; pass 2: 1-2-1 kernel; pass 3: the result back into s).
// work is the scratch array (at least n entries). Channels 0-9 and n-5 .. n-1 keep
// their values. Returns the last channel written (9 when none was).
int smooth(std::span<std::int32_t> s, std::span<std::int32_t> work, int n);

// Background scale factor T1 / T2 of two real times (0.1 s units) as a 32-bit
// float; nullopt when either time is not positive.
std::optional<float> backgroundScale(std::int32_t sampleRealTime, std::int32_t backgroundRealTime);

// For i < n: b = trunc(bg[i] * f); net[i] = sample[i] - b; bg[i] = b.
void subtractBackground(std::span<const std::int32_t> sample, std::span<std::int32_t> bg,
                        std::span<std::int32_t> net, int n, float f);

// Sum of s over lo..hi inclusive, accumulated in a 32-bit float; channels outside
// 0 .. n-1 read as 0.
float windowSum(std::span<const std::int32_t> s, int n, int lo, int hi);

// Trapezoid baseline under lo..hi: (mean of the 3 channels below lo + mean of the
// 3 above hi) x (hi - lo) x 0.5, in 32-bit floats; channels outside read as 0.
float trapezoidBaseline(std::span<const std::int32_t> s, int n, int lo, int hi);

// Truncation of a float sum to a stored count (saturating, NaN to 0).
std::int32_t toCount(float v);

// One activity figure: value and one-sigma counting uncertainty in Bq/kg.
struct Figure {
    float bqPerKg = 0.0f;
    float sigma = 0.0f;
};

// Rows Cs-All, Cs-134, Cs-137, K-40 as the activity box shows them, from the
// net and gross counts of the three windows and the counting time in seconds. The
// nets are exact (sample sum less the scaled background sum, not truncated).
// Cs-All and Cs-134: net / T x factor, sqrt(gross) / T x factor (32-bit float
// quotients); Cs-137: their difference, its sigma both windows' combined (the
// windows are disjoint, so their counts are independent); K-40: its value less
// Cs-134, floored at 0. nullopt when t is not positive.
std::optional<std::array<Figure, 4>> activities(double csAllNet, std::int32_t csAllGross, double cs134Net,
                                                std::int32_t cs134Gross, double k40Net, std::int32_t k40Gross,
                                                float t);

// Exact net of a window: gross less f x background, f = T1 / T2 in double.
double exactNet(double gross, double background, std::int32_t sampleRealTime, std::int32_t backgroundRealTime);

// The exact net rounded to the nearest count (saturating, NaN to 0).
std::int32_t roundCount(double v);

}  // namespace xmca::activity
