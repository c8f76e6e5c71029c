// The arithmetic of the spectrum plot, apart from any drawing: column geometry,
// count to y, the per-column trace and the ROI gross/net sums.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "model/measurement_state.h"

namespace xmca::display {

// Lowest y a trace point may take. Counts far above the full scale run off the top
// of the plot; holding them here keeps every coordinate a small integer without
// changing a visible pixel.
constexpr std::int32_t kMinY = -65536;

struct ColumnGeometry {
    std::int64_t span = 1;  // hi - lo + 1 (at least 1)
    std::int64_t n = 0;     // channels per column, or -p in pixels-per-channel mode
    std::int64_t p = 0;     // pixels per channel (pixels-per-channel mode), else 0
    bool pixelsPerChannel() const { return n <= 0; }
};

ColumnGeometry columnGeometry(std::int32_t lo, std::int32_t hi, int width);

// Height of count v over the plot: log (six decades over height) or linear with
// full scale fullScale. Negative counts give 0.
std::int64_t countHeight(std::int64_t v, bool log, std::int64_t fullScale, int height);
// y of count v: height - h, clamped to at most the bottom row (height - 1) and to at
// least kMinY.
std::int32_t countToY(std::int64_t v, bool log, std::int64_t fullScale, int height);

// Valid channels of the working spectrum: 0 .. channelCount - 1 within the array.
std::int64_t validChannels(const MeasurementState& s);

// Per-column top (largest count) and bottom (smallest count) y for columns
// 0 .. width - 1 of the view window. Channels outside the spectrum read as 0.
void traceColumns(const MeasurementState& s, int width, int height, std::span<std::int32_t> top,
                  std::span<std::int32_t> bottom);

struct RoiSums {
    double gross = 0.0;  // sum of low .. high
    double net = 0.0;    // gross - (left + right) * (high - low) * 0.5
};
// Background means over the 3 channels below low and above high; channels
// outside the spectrum read as 0. A region with low > high sums to nothing and has
// no net counts either.
RoiSums roiSums(const MeasurementState& s, std::int32_t low, std::int32_t high);
// A double truncated toward zero into the 32-bit range.
std::int32_t truncToInt32(double v);

// Shading columns [start, end) of an ROI in the plot; nullopt when it is not shaded
// (end < 1 or end >= width, or an empty range).
struct RoiColumns {
    int start = 0;
    int end = 0;
};
std::optional<RoiColumns> roiColumns(const ColumnGeometry& g, std::int32_t lo, std::int32_t low,
                                     std::int32_t high, int width);

// Cursor mark column; nullopt when it is not strictly inside 0 < x < width.
std::optional<int> cursorColumn(const ColumnGeometry& g, std::int32_t lo, std::int32_t cursor, int width);

}  // namespace xmca::display
