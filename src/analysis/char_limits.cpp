#include "char_limits.h"

#include <algorithm>
#include <vector>
#include <cmath>

namespace xmca::limits {

std::optional<WindowLimits> characteristicLimits(const WindowCounts& c, double k) {
    const double tg = c.grossTime, t0 = c.backgroundTime, w = c.factor;
    if (!(tg > 0) || !(t0 > 0) || !(c.grossCounts >= 0) || !(c.backgroundCounts >= 0) || !std::isfinite(w))
        return std::nullopt;
    const double rg = c.grossCounts / tg;
    const double r0 = c.backgroundCounts / t0;
    const double inv = 1.0 / tg + 1.0 / t0;
    WindowLimits l;
    l.activity = c.activity;
    l.uncertainty = w * std::sqrt(rg / tg + r0 / t0);
    l.decisionThreshold = k * w * std::sqrt(r0 * inv);
    l.detectionLimit = 2.0 * l.decisionThreshold + k * k * w / tg;
    const double a = 9.0 * w / tg;
    l.lowerLimitOfMeasurement = (a + std::sqrt(a * a + 36.0 * w * w * r0 * inv)) / 2.0;
    l.belowDecisionThreshold = c.activity < l.decisionThreshold;
    return l;
}

std::optional<double> countTimeNeeded(double limit, double factor, double backgroundRate, double backgroundTime) {
    if (!(limit > 0) || !(factor > 0) || !(backgroundTime > 0) || !(backgroundRate >= 0)) return std::nullopt;
    const double q = limit / (3.0 * factor);
    const double denominator = q * q - backgroundRate / backgroundTime;
    if (!(denominator > 0)) return std::nullopt;
    return (limit / factor + backgroundRate) / denominator;
}

const char* verdictText(Verdict v) {
    switch (v) {
        case Verdict::LowerLimitNotMet: return "Lower limit not met - count longer";
        case Verdict::BelowLevel: return "Below screening level";
        case Verdict::AboveLevel: return "Above screening level - confirm";
    }
    return "";
}

Verdict screeningVerdict(const WindowLimits& csAll, double level, double lowerLimit) {
    if (csAll.lowerLimitOfMeasurement > lowerLimit) return Verdict::LowerLimitNotMet;
    if (csAll.activity < level) return Verdict::BelowLevel;
    return Verdict::AboveLevel;
}

std::optional<double> peakCentroid(std::span<const std::int32_t> counts, int n, int lo, int hi) {
    n = std::clamp(n, 0, static_cast<int>(std::min<std::size_t>(counts.size(), 1 << 30)));
    if (hi < lo || n < 3) return std::nullopt;
    const int width = hi - lo;
    // A running mean over +-h channels (an eighth of the window) picks the peak and
    // forms the centroid: on a short count the single highest channel is mostly
    // counting noise and can stand a quarter of a window away from the line.
    const int h = std::max(width / 8, 0);
    std::vector<double> sm(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const int l = std::max(i - h, 0), r = std::min(i + h, n - 1);
        double sum = 0;
        for (int j = l; j <= r; ++j) sum += counts[static_cast<std::size_t>(j)];
        sm[static_cast<std::size_t>(i)] = sum / (r - l + 1);
    }
    const int a = std::max(lo - width, 1);
    const int b = std::min(hi + width, n - 2);
    int best = -1;
    for (int i = a; i <= b; ++i) {
        const double c = sm[static_cast<std::size_t>(i)];
        if (c <= 0 || c < sm[static_cast<std::size_t>(i - 1)] || c < sm[static_cast<std::size_t>(i + 1)]) continue;
        if (best < 0 || c > sm[static_cast<std::size_t>(best)]) best = i;
    }
    if (best < 0) return std::nullopt;
    const double half = sm[static_cast<std::size_t>(best)] / 2.0;
    int l = best, r = best;
    // Down to half height, but no further than half the window either side, so a
    // continuum under a weak peak does not pull the centroid away.
    const int reach = std::max(width / 2, 1);
    while (l - 1 >= 0 && best - (l - 1) <= reach && sm[static_cast<std::size_t>(l - 1)] >= half) --l;
    while (r + 1 < n && (r + 1) - best <= reach && sm[static_cast<std::size_t>(r + 1)] >= half) ++r;
    double sum = 0, moment = 0;
    for (int i = l; i <= r; ++i) {
        sum += sm[static_cast<std::size_t>(i)];
        moment += static_cast<double>(i) * sm[static_cast<std::size_t>(i)];
    }
    if (!(sum > 0)) return std::nullopt;
    return moment / sum;
}

bool inMiddleHalf(double x, int lo, int hi) {
    const double quarter = (hi - lo) / 4.0;
    return x >= lo + quarter && x <= hi - quarter;
}

}  // namespace xmca::limits
