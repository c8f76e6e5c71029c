#include "snap_peak.h"

#include <algorithm>
#include <cmath>

namespace xmca {
namespace {

std::int64_t countOf(std::span<const std::int32_t> counts, std::int64_t valid, std::int64_t k) {
    return (k >= 0 && k < valid) ? counts[static_cast<std::size_t>(k)] : 0;
}

}  // namespace

SnapPeakResult snapPeak(std::span<const std::int32_t> counts, int channels, int cursor) {
    SnapPeakResult r;
    r.cursor = cursor;
    const std::int64_t valid =
        std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()));

    // Strictly greater wins, starting from 0: the lowest channel on ties, and no
    // peak at all when nothing around the cursor is above 0.
    std::int64_t best = 0;
    std::int64_t peak = -1;
    for (std::int64_t k = static_cast<std::int64_t>(cursor) - 10; k <= static_cast<std::int64_t>(cursor) + 10; ++k) {
        const std::int64_t c = countOf(counts, valid, k);
        if (c > best) {
            best = c;
            peak = k;
        }
    }
    if (peak < 0) return r;

    double sum = 0.0, moment = 0.0;
    for (std::int64_t k = peak - 5; k <= peak + 5; ++k) {
        const double c = static_cast<double>(countOf(counts, valid, k));
        sum += c;
        moment += static_cast<double>(k) * c;
    }
    // Negative neighbours (a background-subtracted spectrum) can cancel the peak;
    // no centroid is defined then.
    if (!(sum > 0.0)) return r;

    r.found = true;
    r.peak = static_cast<int>(peak);
    r.centroid = moment / sum;
    const double rounded = std::trunc(r.centroid + 0.5);
    const double last = static_cast<double>(std::max<std::int64_t>(0, valid - 1));
    r.cursor = static_cast<int>(std::clamp(rounded, 0.0, last));
    return r;
}

}  // namespace xmca
