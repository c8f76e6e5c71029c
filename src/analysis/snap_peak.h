// Snap peak: the largest channel within 10 of the cursor and the centroid of the
// 11 channels around it.
#pragma once

#include <cstdint>
#include <span>

namespace xmca {

struct SnapPeakResult {
    bool found = false;      // false: no positive peak near the cursor, cursor stays
    int peak = 0;            // channel of the largest count (lowest on ties)
    double centroid = 0.0;   // sum(k * count_k) / sum(count_k) over peak - 5 .. peak + 5
    int cursor = 0;          // trunc(centroid + 0.5), or the old cursor when not found
};

// counts: the spectrum; channels: how many of them are valid. Channels outside
// 0 .. channels - 1 read as 0.
SnapPeakResult snapPeak(std::span<const std::int32_t> counts, int channels, int cursor);

}  // namespace xmca
