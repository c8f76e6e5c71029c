#include "view_controls.h"

#include <algorithm>
#include <array>

namespace xmca::view {
namespace {

constexpr std::array<std::int32_t, 23> kFullScale = {
    0,         100,       250,        500,        1000,      2500,      5000,      10000,
    25000,     50000,     100000,     250000,     500000,    1000000,   2500000,   5000000,
    10000000,  25000000,  50000000,   100000000,  250000000, 500000000, 1000000000};

constexpr std::array<const char*, 23> kLabels = {
    "Log", "100",  "250",  "500",  "1K",   "2.5K", "5K",   "10K",  "25K",  "50K",  "100K", "250K",
    "500K", "1M",  "2,5M", "5M",   "10M",  "25M",  "50M",  "100M", "250M", "500M", "1B"};

// Keeps a window inside 0 .. channels - 1 with lo <= hi. The zoom rules below
// already do this for a cursor inside the spectrum; a cursor or window taken
// from elsewhere (analyser, file) must not leave a window past either end.
void clampWindow(std::int64_t& lo, std::int64_t& hi, int channels) {
    const std::int64_t last = std::max(0, channels - 1);
    lo = std::clamp<std::int64_t>(lo, 0, last);
    hi = std::clamp<std::int64_t>(hi, lo, last);
}

void store(ViewState& v, std::int64_t lo, std::int64_t hi) {
    v.lo = static_cast<std::int32_t>(lo);
    v.hi = static_cast<std::int32_t>(hi);
}

// lo .. lo + f - 1, pulled back to end at the last channel when it runs past it.
void placeWindow(ViewState& v, std::int64_t lo, std::int64_t f, int channels) {
    lo = std::max<std::int64_t>(0, lo);
    std::int64_t hi = lo + f - 1;
    if (hi >= channels) {
        hi = channels - 1;
        lo = std::max<std::int64_t>(0, channels - f);
    }
    clampWindow(lo, hi, channels);
    store(v, lo, hi);
}

std::int64_t spanOf(const ViewState& v) {
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(v.hi) - v.lo + 1);
}

}  // namespace

std::int32_t fullScale(int index) {
    return kFullScale[static_cast<std::size_t>(std::clamp(index, kMinScaleIndex, kMaxScaleIndex))];
}

const char* fullScaleLabel(int index) {
    if (index < kMinScaleIndex || index > kMaxScaleIndex) return kLabels[0];
    return kLabels[static_cast<std::size_t>(index)];
}

int autoScaleIndex(std::int64_t maxCount) {
    for (int i = kMinScaleIndex; i <= kAutoMaxIndex; ++i)
        if (kFullScale[static_cast<std::size_t>(i)] > maxCount) return i;
    return kAutoMaxIndex;
}

std::int32_t countAt(std::span<const std::int32_t> counts, int channels, std::int64_t k) {
    const std::int64_t valid = std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()));
    if (k < 0 || k >= valid) return 0;
    return counts[static_cast<std::size_t>(k)];
}

std::int32_t windowMaximum(std::span<const std::int32_t> counts, int channels, int lo, int hi) {
    const std::int64_t valid = std::min<std::int64_t>(std::max(0, channels), static_cast<std::int64_t>(counts.size()));
    const std::int64_t a = std::max<std::int64_t>(0, lo);
    const std::int64_t b = std::min<std::int64_t>(hi, valid);  // exclusive
    std::int32_t m = 0;
    for (std::int64_t k = a; k < b; ++k) m = std::max(m, counts[static_cast<std::size_t>(k)]);
    return m;
}

int clampChannel(std::int64_t ch, int channels) {
    if (channels <= 0) return 0;
    return static_cast<int>(std::clamp<std::int64_t>(ch, 0, channels - 1));
}

bool stepScale(ViewState& v, int button) {
    v.logScale = 0;
    if (button == btNext) {
        if (v.vfsIndex <= kMinScaleIndex) return false;
        v.vfsIndex = std::min(v.vfsIndex - 1, kMaxScaleIndex);
        return true;
    }
    if (button == btPrev) {
        if (v.vfsIndex >= kMaxScaleIndex) return false;
        v.vfsIndex = std::max(v.vfsIndex + 1, kMinScaleIndex);
        return true;
    }
    return false;
}

bool expand(ViewState& v, int channels, int width) {
    if (channels <= 0 || width <= 0) return false;
    const std::int64_t span = spanOf(v);
    const std::int64_t n = span / width;
    const std::int64_t cursor = v.cursor;
    if (n >= 2) {
        const std::int64_t f = width * (n / 2);
        placeWindow(v, cursor - f / 2, f, channels);
        return true;
    }
    if (n == 1) {
        placeWindow(v, cursor - width / 4, width / 2, channels);
        return true;
    }
    const std::int64_t q = (width / span) * 2;
    if (q > kMaxPixelsPerChannel) return false;
    const std::int64_t a = width / q;
    std::int64_t lo = cursor - a / 2;
    std::int64_t hi = cursor + a / 2 - 1;
    if (lo < 0) lo = 0;  // hi stays where it was
    if (hi >= channels) {
        hi = channels - 1;
        lo = std::max<std::int64_t>(0, channels - a);
    }
    clampWindow(lo, hi, channels);
    store(v, lo, hi);
    return true;
}

bool compress(ViewState& v, int channels, int width) {
    if (channels <= 0 || width <= 0) return false;
    const std::int64_t span = spanOf(v);
    // Zoom out while the window is narrower than the spectrum. (Comparing whole
    // columns, span / W < C / W, would never let a 256-channel spectrum out again.)
    if (span >= channels) return false;
    const std::int64_t n = span / width;
    std::int64_t f;
    if (n >= 1) {
        f = 2 * n * width;
    } else {
        std::int64_t q = (width / span) / 2;
        if (q == 0) q = 1;  // one pixel per channel: widen to one channel per column
        f = width / q;
    }
    placeWindow(v, static_cast<std::int64_t>(v.cursor) - f / 2, f, channels);
    return true;
}

void afterZoom(ViewState& v) {
    if (v.cursor < v.lo || v.cursor > v.hi)
        v.cursor = static_cast<std::int32_t>(v.lo + (static_cast<std::int64_t>(v.hi) - v.lo + 1) / 2);
    v.lo16 = static_cast<std::int16_t>(v.lo);
    v.hi16 = static_cast<std::int16_t>(v.hi);
}

void scroll(ViewState& v, ScrollCode code, int channels) {
    if (code == ScrollCode::LineLeft) {
        v.scrollPos -= 10;
        if (v.lo > 10) {
            v.lo -= 10;
            v.hi -= 10;
            v.cursor -= 10;
        }
    } else if (code == ScrollCode::LineRight) {
        v.scrollPos += 10;
        if (static_cast<std::int64_t>(v.hi) + 10 < channels) {
            v.lo += 10;
            v.hi += 10;
            v.cursor += 10;
        }
    }
}

std::int64_t channelAtX(int lo, int hi, int mouseX, int width) {
    const std::int64_t x = static_cast<std::int64_t>(mouseX) - kPlotX;
    const std::int64_t span = std::max<std::int64_t>(1, static_cast<std::int64_t>(hi) - lo + 1);
    const std::int64_t m = span / width;
    if (m >= 1) return lo + m * x;
    return lo + x / (width / span);
}

std::string windowLabel(int channel) { return std::to_string(channel) + "ch"; }

}  // namespace xmca::view
