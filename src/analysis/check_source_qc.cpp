#include "check_source_qc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "char_limits.h"
#include "peak_width.h"

namespace xmca::qc {
namespace {

int validChannels(const CountedSpectrum& s) {
    return std::clamp(s.channels, 0, static_cast<int>(std::min<std::size_t>(s.counts.size(), 1 << 20)));
}

// Sum of each channel with its h neighbours either side (channels outside read
// as 0), saturating at the int32 range. A whole-count spectrum again, so the
// program's own peak and FWHM code runs on it unchanged.
std::vector<std::int32_t> neighbourSums(std::span<const std::int32_t> s, int n, int h) {
    std::vector<std::int32_t> out(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        std::int64_t sum = 0;
        for (int k = std::max(0, i - h); k <= std::min(n - 1, i + h); ++k) sum += s[static_cast<std::size_t>(k)];
        out[static_cast<std::size_t>(i)] =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
    }
    return out;
}

double sumOver(std::span<const std::int32_t> s, int n, int lo, int hi) {
    double sum = 0;
    for (int i = std::max(lo, 0); i <= std::min(hi, n - 1); ++i) sum += s[static_cast<std::size_t>(i)];
    return sum;
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace

double nominalChannel662(int channels) { return 660.0 * channels / 2048.0; }

QcMeasurement measureCheckSource(const CountedSpectrum& check, const std::optional<CountedSpectrum>& background,
                                 const PeakSearch& search) {
    QcMeasurement m;
    const int n = validChannels(check);
    if (n < 64) {
        m.error = "the check spectrum has too few channels";
        return m;
    }
    if (!(check.seconds > 0) || !std::isfinite(check.seconds)) {
        m.error = "the check spectrum has no counting time";
        return m;
    }
    const double expected = search.expectedChannel.value_or(nominalChannel662(n));
    const int lo = std::max(1, static_cast<int>(std::floor(expected * (1.0 - search.searchFraction))));
    const int hi = std::min(n - 2, static_cast<int>(std::ceil(expected * (1.0 + search.searchFraction))));
    if (!(expected > 0) || hi - lo < 6) {
        m.error = "the 662 keV search range lies outside the spectrum";
        return m;
    }

    // peakCentroid searches a third of its range either side of lo..hi; hand it
    // the middle third so it searches exactly lo..hi.
    const int h = std::max(0, n * 3 / 2048);
    const std::vector<std::int32_t> summed = neighbourSums(check.counts, n, h);
    const int third = (hi - lo) / 3;
    const auto centroid = limits::peakCentroid(summed, n, lo + third, hi - third);
    if (!centroid || *centroid < lo || *centroid > hi) {
        m.error = "no 662 keV peak between channels " + std::to_string(lo) + " and " + std::to_string(hi);
        return m;
    }
    const PeakWidth w = peakWidthAtCursor(summed, n, static_cast<int>(std::lround(*centroid)), lo, hi);
    if (!w.found || w.leftFellBack || w.rightFellBack || !(w.crossingDistance() > 0)) {
        m.error = "the 662 keV peak has no clear width between channels " + std::to_string(lo) + " and " +
                  std::to_string(hi);
        return m;
    }
    // A check source's photopeak stands well above the continuum at the ends of
    // the search range; a counting-noise bump does not.
    const double edge = std::max(sumOver(summed, n, lo, lo + 2), sumOver(summed, n, hi - 2, hi)) / 3.0;
    if (w.height < 2.0 * edge) {
        m.error = "no 662 keV peak stands out between channels " + std::to_string(lo) + " and " + std::to_string(hi);
        return m;
    }
    m.fwhmChannels = w.crossingDistance();
    m.values.peakChannel = *centroid;
    m.values.fwhmPercent = 100.0 * m.fwhmChannels / *centroid;

    const double half = search.windowFwhms * m.fwhmChannels;
    m.windowLo = std::max(0, static_cast<int>(std::lround(*centroid - half)));
    m.windowHi = std::min(n - 1, static_cast<int>(std::lround(*centroid + half)));
    const double gross = sumOver(check.counts, n, m.windowLo, m.windowHi);
    if (gross < kMinPeakCounts) {
        m.error = "too few counts in the 662 keV peak (" + std::to_string(static_cast<long long>(gross)) +
                  "); count the check source longer";
        return m;
    }
    m.grossRateCps = gross / check.seconds;
    m.values.netRateCps = m.grossRateCps;

    if (background) {
        const int nb = validChannels(*background);
        if (nb != n) {
            m.error = "the background has " + std::to_string(nb) + " channels, the check spectrum " +
                      std::to_string(n);
            return m;
        }
        if (!(background->seconds > 0) || !std::isfinite(background->seconds)) {
            m.error = "the background has no counting time";
            return m;
        }
        m.backgroundRateCps = sumOver(background->counts, nb, 0, nb - 1) / background->seconds;
        m.backgroundWindowCps = sumOver(background->counts, nb, m.windowLo, m.windowHi) / background->seconds;
        m.values.netRateCps = m.grossRateCps - *m.backgroundWindowCps;
    }
    m.ok = true;
    return m;
}

std::string reasonText(const Reason& r) {
    static const char* const names[] = {"peak channel", "FWHM", "net rate"};
    switch (r.kind) {
        case Reason::SdFromMean:
            return std::string(names[r.quantity]) + " " + fixed(r.value, 1) + " sd from the mean";
        case Reason::PeakShift: return "peak shift " + fixed(r.value, 1) + " %";
        case Reason::RateChange: return "net rate change " + fixed(r.value, 1) + " %";
        case Reason::NotANumber: break;
    }
    return "a figure is not a number";
}

const char* statusName(Status s) {
    switch (s) {
        case Status::Baseline: return "baseline";
        case Status::Ok: return "ok";
        case Status::Warning: return "warning";
        case Status::Action: return "action";
    }
    return "action";
}

std::optional<Status> statusFromName(const std::string& name) {
    for (Status s : {Status::Baseline, Status::Ok, Status::Warning, Status::Action})
        if (name == statusName(s)) return s;
    return std::nullopt;
}

BaselineStats baselineStats(std::span<const QcValues> runs) {
    BaselineStats b;
    b.n = static_cast<int>(runs.size());
    auto stat = [&](double QcValues::*field) {
        MeanSd r;
        if (runs.empty()) return r;
        double sum = 0;
        for (const auto& v : runs) sum += v.*field;
        r.mean = sum / static_cast<double>(runs.size());
        if (runs.size() < 2) return r;
        double sq = 0;
        for (const auto& v : runs) sq += (v.*field - r.mean) * (v.*field - r.mean);
        r.sd = std::sqrt(sq / static_cast<double>(runs.size() - 1));
        return r;
    };
    b.peakChannel = stat(&QcValues::peakChannel);
    b.fwhmPercent = stat(&QcValues::fwhmPercent);
    b.netRateCps = stat(&QcValues::netRateCps);
    return b;
}

Assessment assess(const QcValues& v, const BaselineStats& b, int nRequired) {
    Assessment a;
    auto raise = [&](Status s, Reason why) {
        if (static_cast<int>(s) > static_cast<int>(a.status)) a.status = s;
        a.reasons.push_back(why);
    };
    auto percentRules = [&] {
        if (b.peakChannel.mean > 0) {
            const double shift = (v.peakChannel - b.peakChannel.mean) / b.peakChannel.mean;
            if (std::abs(shift) > kActionPeakShift) raise(Status::Action, {Reason::PeakShift, Reason::PeakChannel, 100 * shift});
        }
        if (b.netRateCps.mean > 0) {
            const double change = (v.netRateCps - b.netRateCps.mean) / b.netRateCps.mean;
            if (std::abs(change) > kActionRateChange)
                raise(Status::Action, {Reason::RateChange, Reason::NetRate, 100 * change});
        }
        if (!std::isfinite(v.peakChannel) || !std::isfinite(v.fwhmPercent) || !std::isfinite(v.netRateCps))
            raise(Status::Action, {});
    };
    if (b.n < std::max(nRequired, 1)) {
        // While a baseline is collected, a run far from the runs before it is not
        // accepted into it: a drift during the collection must not widen the limits.
        if (b.n > 0) percentRules();
        return a;
    }
    a.status = Status::Ok;
    auto sdRule = [&](Reason::Quantity q, double x, const MeanSd& m) {
        if (!(m.sd > 0)) return;
        const double z = (x - m.mean) / m.sd;
        if (std::abs(z) > kActionSd) raise(Status::Action, {Reason::SdFromMean, q, z});
        else if (std::abs(z) > kWarningSd) raise(Status::Warning, {Reason::SdFromMean, q, z});
    };
    sdRule(Reason::PeakChannel, v.peakChannel, b.peakChannel);
    sdRule(Reason::FwhmPercent, v.fwhmPercent, b.fwhmPercent);
    sdRule(Reason::NetRate, v.netRateCps, b.netRateCps);
    percentRules();
    return a;
}

}  // namespace xmca::qc
