#include "activity_calc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace xmca::activity {

namespace {

int clampN(std::size_t size, int n) { return std::clamp(n, 0, static_cast<int>(std::min<std::size_t>(size, 1 << 30))); }

// Truncation toward zero of a double to a count, saturating.
std::int32_t truncCount(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int32_t addSat(std::int32_t a, std::int64_t b) {
    const std::int64_t v = a + b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The levelling step b of a difference d: rounds -d/2 half away from zero.
std::int32_t levelStep(std::int64_t d) {
    const double h = static_cast<double>(d) * 0.5;
    if (d < 1) return truncCount(-h + 0.5);
    return -truncCount(h + 0.5);
}

}  // namespace

void compress(std::span<std::int32_t> s, int n) {
    n = clampN(s.size(), n);
    const int h = n / 2;
    for (int j = 0; j < h; ++j) s[j] = addSat(s[2 * j], s[2 * j + 1]);
    std::fill(s.begin() + h, s.begin() + n, 0);
}

int levelSpikes(std::span<std::int32_t> s, std::span<std::int32_t> work, int n) {
    n = std::min(clampN(s.size(), n), clampN(work.size(), n));
    const int last = n - 6;  // the kernel reads up to i + 3, levelling writes i + 1
    if (last < kSmoothFirst) return kSmoothFirst - 1;
    auto at = [&](int i) { return static_cast<std::int64_t>(s[i]); };

    // Pass 1: 5-point-wide kernel; a channel more than one counting sigma from its
    // smoothed value is levelled with the neighbour it differs from most (the right
    // one on ties). Later channels see the levelled values.
    for (int i = kSmoothFirst; i <= last; ++i) {
        const std::int64_t sum = (at(i - 1) + at(i - 2) + at(i - 3)) + (at(i + 1) + at(i + 2) + at(i + 3)) + 2 * at(i);
        const float c = static_cast<float>(static_cast<double>(sum) * 0.125 + 0.5);
        work[i] = truncCount(c);
        if (!(c > 1.0f)) continue;
        const std::int64_t d = truncCount(std::sqrt(static_cast<double>(c)) * 1.0);
        if (std::llabs(at(i) - work[i]) <= d) continue;
        const std::int64_t dR = at(i) - at(i + 1);
        const std::int64_t dL = at(i) - at(i - 1);
        const bool takeLeft = std::llabs(dR) < std::llabs(dL);
        // The neighbour must itself lie in the smoothed range: channels 0-9 and the
        // last five keep their values.
        if (takeLeft ? i - 1 < kSmoothFirst : i + 1 > last) continue;
        if (takeLeft) {
            const std::int32_t b = levelStep(dL);
            s[i] = addSat(s[i], b);
            s[i - 1] = addSat(s[i - 1], dL + b);
        } else {
            const std::int32_t b = levelStep(dR);
            s[i] = addSat(s[i], b);
            s[i + 1] = addSat(s[i + 1], dR + b);
        }
    }
    return last;
}

int smooth(std::span<std::int32_t> s, std::span<std::int32_t> work, int n) {
    const int last = levelSpikes(s, work, n);
    if (last < kSmoothFirst) return last;
    auto at = [&](int i) { return static_cast<std::int64_t>(s[i]); };
    // Pass 2: 1-2-1 kernel on the levelled spectrum.
    for (int i = kSmoothFirst; i <= last; ++i) {
        const std::int64_t sum = at(i - 1) + at(i + 1) + 2 * at(i);
        work[i] = truncCount(static_cast<double>(sum) * 0.25 + 0.5);
    }
    // Pass 3: only the channels the passes wrote for this spectrum.
    std::copy(work.begin() + kSmoothFirst, work.begin() + last + 1, s.begin() + kSmoothFirst);
    return last;
}

std::optional<float> backgroundScale(std::int32_t sampleRealTime, std::int32_t backgroundRealTime) {
    if (sampleRealTime <= 0 || backgroundRealTime <= 0) return std::nullopt;
    return static_cast<float>(sampleRealTime) / static_cast<float>(backgroundRealTime);
}

void subtractBackground(std::span<const std::int32_t> sample, std::span<std::int32_t> bg,
                        std::span<std::int32_t> net, int n, float f) {
    n = std::min({clampN(sample.size(), n), clampN(bg.size(), n), clampN(net.size(), n)});
    for (int i = 0; i < n; ++i) {
        const float scaled = static_cast<float>(bg[i]) * f;
        const std::int32_t b = truncCount(scaled);
        net[i] = addSat(sample[i], -static_cast<std::int64_t>(b));
        bg[i] = b;
    }
}

float windowSum(std::span<const std::int32_t> s, int n, int lo, int hi) {
    n = clampN(s.size(), n);
    float sum = 0.0f;
    const int a = std::max(lo, 0);
    const int b = std::min(hi, n - 1);
    for (int c = a; c <= b; ++c) sum += static_cast<float>(s[c]);
    return sum;
}

float trapezoidBaseline(std::span<const std::int32_t> s, int n, int lo, int hi) {
    n = clampN(s.size(), n);
    auto ch = [&](std::int64_t c) { return (c >= 0 && c < n) ? static_cast<float>(s[c]) : 0.0f; };
    const std::int64_t l = lo, h = hi;
    const float left = (ch(l - 1) + ch(l - 2) + ch(l - 3)) / 3.0f;
    const float right = (ch(h + 1) + ch(h + 2) + ch(h + 3)) / 3.0f;
    return (left + right) * static_cast<float>(h - l) * 0.5f;
}

std::int32_t toCount(float v) { return truncCount(static_cast<double>(v)); }

double exactNet(double gross, double background, std::int32_t sampleRealTime, std::int32_t backgroundRealTime) {
    if (backgroundRealTime <= 0) return gross;
    return gross - static_cast<double>(sampleRealTime) / static_cast<double>(backgroundRealTime) * background;
}

std::int32_t roundCount(double v) {
    if (std::isnan(v)) return 0;
    return truncCount(v < 0 ? v - 0.5 : v + 0.5);
}

std::optional<std::array<Figure, 4>> activities(double csAllNet, std::int32_t csAllGross, double cs134Net,
                                                std::int32_t cs134Gross, double k40Net, std::int32_t k40Gross,
                                                float t) {
    if (!(t > 0.0f) || !std::isfinite(t)) return std::nullopt;
    auto sigma = [t](std::int32_t gross, float factor) {
        return std::sqrt(static_cast<float>(std::max(gross, 0))) / t * factor;
    };
    std::array<Figure, 4> f{};
    f[0] = {static_cast<float>(csAllNet) / t * kFactorCsAll, sigma(csAllGross, kFactorCsAll)};
    f[1] = {static_cast<float>(cs134Net) / t * kFactorCs134, sigma(cs134Gross, kFactorCs134)};
    f[2] = {f[0].bqPerKg - f[1].bqPerKg, std::hypot(f[0].sigma, f[1].sigma)};
    f[3] = {std::max(0.0f, static_cast<float>(k40Net) / t * kFactorK40 - f[1].bqPerKg), sigma(k40Gross, kFactorK40)};
    return f;
}

}  // namespace xmca::activity
