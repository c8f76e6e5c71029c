// Centroid and full width at half maximum of the peak at the cursor, on a plain
// count array. Channels outside 0 .. channels - 1 read as 0.
#pragma once

#include <cstdint>
#include <span>

namespace xmca {

struct PeakWidth {
    bool found = false;       // false: no count above 0 within cursor +/- 5
    int peak = 0;             // P: largest count in cursor - 5 .. cursor + 5 (first of equals)
    std::int32_t height = 0;  // S[P]
    float centroid = 0.0f;    // sum(c * S[c]) / sum(S[c]) over P - 2 .. P + 2, float sums
    std::int32_t half = 0;    // height / 2, truncated
    int left = 0;             // L: last channel above half going down from P
    int right = 0;            // R: last channel above half going up from P
    bool leftFellBack = false;   // no channel at or below half before the range start: L = A + 2
    bool rightFellBack = false;  // likewise before the range end: R = B - 2
    float leftFraction = 0.0f;   // eL = (S[L] - half) / (S[L] - S[L - 1])
    float rightFraction = 0.0f;  // eR = (S[R] - half) / (S[R] - S[R + 1])
    float fwhm = 0.0f;           // (R - L - 1) + eL + eR
    // Full distance between the interpolated crossings L - eL and R + eR.
    float crossingDistance() const { return static_cast<float>(right - left) + leftFraction + rightFraction; }
};

// The peak at cursor M with display range A (lo) .. B (hi). The width is not positive when the range is too narrow for
// the peak (its edges fall back past each other): that is no width. An edge that fell
// back two channels inside the range is not interpolated (its fraction is 0):
// there is no crossing to interpolate towards, and its step may be zero.
PeakWidth peakWidthAtCursor(std::span<const std::int32_t> counts, int channels, int cursor, int lo, int hi);

}  // namespace xmca
