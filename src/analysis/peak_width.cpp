#include "peak_width.h"

#include <algorithm>

namespace xmca {
namespace {

struct Counts {
    std::span<const std::int32_t> data;
    std::int64_t valid;
    std::int64_t operator[](std::int64_t k) const {
        return (k >= 0 && k < valid) ? data[static_cast<std::size_t>(k)] : 0;
    }
};

// (S[edge] - half) / (S[edge] - S[outer]); no interpolation over a zero step.
float edgeFraction(const Counts& s, std::int64_t edge, std::int64_t outer, std::int32_t half) {
    const std::int64_t step = s[edge] - s[outer];
    if (step == 0) return 0.0f;
    return static_cast<float>(s[edge] - half) / static_cast<float>(step);
}

}  // namespace

PeakWidth peakWidthAtCursor(std::span<const std::int32_t> counts, int channels, int cursor, int lo, int hi) {
    PeakWidth r;
    const Counts s{counts, std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()))};
    const std::int64_t m = cursor;

    // Only counts above 0 qualify; strictly greater wins, so the first of equals.
    std::int64_t best = 0, peak = -1;
    for (std::int64_t c = m - 5; c <= m + 5; ++c) {
        if (s[c] > best) {
            best = s[c];
            peak = c;
        }
    }
    if (peak < 0) return r;
    r.found = true;
    r.peak = static_cast<int>(peak);
    r.height = static_cast<std::int32_t>(best);

    float sum = 0.0f, moment = 0.0f;
    for (std::int64_t c = peak - 2; c <= peak + 2; ++c) {
        const float v = static_cast<float>(s[c]);
        sum += v;
        moment += static_cast<float>(c) * v;
    }
    // Negative neighbours (a subtracted spectrum) can cancel the sum: the peak
    // channel itself is the centroid then.
    r.centroid = sum > 0.0f ? moment / sum : static_cast<float>(peak);

    r.half = r.height / 2;
    // Beyond the spectrum every channel reads 0, so a range end further out than
    // one channel past it gives the same edges; bounding it there keeps every edge
    // and width a small number whatever the caller passes.
    const std::int64_t a = std::clamp<std::int64_t>(lo, -2, s.valid + 1);
    const std::int64_t b = std::clamp<std::int64_t>(hi, -2, s.valid + 1);
    std::int64_t left = a + 2;
    r.leftFellBack = true;
    for (std::int64_t c = peak - 1; c > a; --c) {
        if (s[c] <= r.half) {
            left = c + 1;
            r.leftFellBack = false;
            break;
        }
    }
    std::int64_t right = b - 2;
    r.rightFellBack = true;
    for (std::int64_t c = peak + 1; c < b; ++c) {
        if (s[c] <= r.half) {
            right = c - 1;
            r.rightFellBack = false;
            break;
        }
    }
    r.left = static_cast<int>(left);
    r.right = static_cast<int>(right);
    // A fallen-back edge has no half-maximum crossing beside it: its fraction
    // would be an extrapolation (unbounded as the step shrinks, undefined on a
    // flat stretch), so it is not interpolated.
    r.leftFraction = r.leftFellBack ? 0.0f : edgeFraction(s, left, left - 1, r.half);
    r.rightFraction = r.rightFellBack ? 0.0f : edgeFraction(s, right, right + 1, r.half);
    r.fwhm = static_cast<float>(right - left - 1) + r.leftFraction + r.rightFraction;
    return r;
}

}  // namespace xmca
