#include "plot_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/view_controls.h"

namespace xmca::display {

ColumnGeometry columnGeometry(std::int32_t lo, std::int32_t hi, int width) {
    ColumnGeometry g;
    // A window with hi below lo (taken from a file or the analyser) is drawn as one channel.
    g.span = std::max<std::int64_t>(1, static_cast<std::int64_t>(hi) - lo + 1);
    g.n = g.span / width;
    if (g.n == 0) {
        g.p = width / g.span;
        g.n = -g.p;
    }
    return g;
}

std::int64_t countHeight(std::int64_t v, bool log, std::int64_t fullScale, int height) {
    if (log) {
        const std::int64_t d = height / 6;
        if (v >= 2) return static_cast<std::int64_t>(std::log10(static_cast<double>(v)) * static_cast<double>(d));
        if (v == 1) return static_cast<std::int64_t>(std::log10(2.0) * static_cast<double>(d)) / 2;
        return 0;
    }
    if (fullScale <= 0) fullScale = 1;
    if (v <= 0) return 0;
    return v * height / fullScale;
}

std::int32_t countToY(std::int64_t v, bool log, std::int64_t fullScale, int height) {
    const std::int64_t y = height - countHeight(v, log, fullScale, height);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(y, kMinY, height - 1));
}

std::int64_t validChannels(const MeasurementState& s) {
    return std::clamp<std::int64_t>(s.channelCount, 0, static_cast<std::int64_t>(s.spectrum.size()));
}

void traceColumns(const MeasurementState& s, int width, int height, std::span<std::int32_t> top,
                  std::span<std::int32_t> bottom) {
    const int cols = std::min<int>(width, static_cast<int>(std::min(top.size(), bottom.size())));
    const ColumnGeometry g = columnGeometry(s.view.lo, s.view.hi, width);
    const bool log = s.view.logScale != 0;
    const std::int64_t fs = view::fullScale(s.view.vfsIndex);
    const std::int64_t valid = validChannels(s);
    const std::int32_t* counts = s.spectrum.data();
    const std::int64_t lo = s.view.lo;

    if (g.pixelsPerChannel()) {
        for (int x = 0; x < cols; ++x) {
            const std::int64_t k = lo + x / g.p;
            const std::int64_t v = (k >= 0 && k < valid) ? counts[k] : 0;
            top[x] = bottom[x] = countToY(v, log, fs, height);
        }
        return;
    }
    for (int x = 0; x < cols; ++x) {
        const std::int64_t a = lo + x * g.n;
        const std::int64_t b = a + g.n - 1;
        const std::int64_t ia = std::max<std::int64_t>(a, 0);
        const std::int64_t ib = std::min<std::int64_t>(b, valid - 1);
        std::int64_t mx = 0;  // the largest count starts from 0
        std::int64_t mn = std::numeric_limits<std::int64_t>::max();
        if (ia > ib || ia != a || ib != b) mn = 0;  // channels outside the spectrum read as 0
        for (std::int64_t k = ia; k <= ib; ++k) {
            const std::int64_t v = counts[k];
            mx = std::max(mx, v);
            mn = std::min(mn, v);
        }
        top[x] = countToY(mx, log, fs, height);
        bottom[x] = countToY(mn, log, fs, height);
    }
}

RoiSums roiSums(const MeasurementState& s, std::int32_t low, std::int32_t high) {
    RoiSums r;
    if (low > high) return r;
    const std::int64_t valid = validChannels(s);
    auto at = [&](std::int64_t k) -> double { return (k >= 0 && k < valid) ? s.spectrum[k] : 0.0; };
    // Summed in double: a float sum loses counts once the region holds more than 2^24.
    const std::int64_t a = std::max<std::int64_t>(low, 0);
    const std::int64_t b = std::min<std::int64_t>(high, valid - 1);
    for (std::int64_t k = a; k <= b; ++k) r.gross += s.spectrum[k];
    const double left = (at(std::int64_t{low} - 1) + at(std::int64_t{low} - 2) + at(std::int64_t{low} - 3)) / 3.0;
    const double right = (at(std::int64_t{high} + 1) + at(std::int64_t{high} + 2) + at(std::int64_t{high} + 3)) / 3.0;
    const double background = (left + right) * static_cast<double>(std::int64_t{high} - low) * 0.5;
    r.net = r.gross - background;
    return r;
}

std::int32_t truncToInt32(double v) {
    if (!std::isfinite(v)) return 0;
    const double t = std::trunc(v);
    return static_cast<std::int32_t>(std::clamp(t, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                                                static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

std::optional<RoiColumns> roiColumns(const ColumnGeometry& g, std::int32_t lo, std::int32_t low,
                                     std::int32_t high, int width) {
    std::int64_t start, end;
    if (g.pixelsPerChannel()) {
        start = (std::int64_t{low} - lo) * g.p;
        end = (std::int64_t{high} - lo) * g.p;
    } else {
        start = (std::int64_t{low} - lo) / g.n;
        end = (std::int64_t{high} - lo) / g.n;
    }
    start = std::max<std::int64_t>(start, 0);
    if (end < 1 || end >= width || start >= end) return std::nullopt;
    return RoiColumns{static_cast<int>(start), static_cast<int>(end)};
}

std::optional<int> cursorColumn(const ColumnGeometry& g, std::int32_t lo, std::int32_t cursor, int width) {
    const std::int64_t x = g.pixelsPerChannel() ? (std::int64_t{cursor} - lo) * g.p + g.p / 2
                                                : (std::int64_t{cursor} - lo) / g.n;
    if (x <= 0 || x >= width) return std::nullopt;
    return static_cast<int>(x);
}

}  // namespace xmca::display
