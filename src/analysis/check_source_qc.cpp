#include "check_source_qc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

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
    std::vector<std::int64_t> prefix(static_cast<std::size_t>(n) + 1, 0);
    for (int i = 0; i < n; ++i) prefix[static_cast<std::size_t>(i) + 1] = prefix[static_cast<std::size_t>(i)] + s[static_cast<std::size_t>(i)];
    std::vector<std::int32_t> out(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const std::int64_t sum = prefix[static_cast<std::size_t>(std::min(n - 1, i + h)) + 1] -
                                 prefix[static_cast<std::size_t>(std::max(0, i - h))];
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

// Centroid of the raw counts in a window of +/- halfWidth about itself, found by
// iteration from a start value. Edge channels count with the part of them inside
// the window, so the centroid moves smoothly with the counts instead of jumping
// when a channel enters or leaves.
double windowCentroid(std::span<const std::int32_t> s, int n, double start, double halfWidth) {
    double c = start;
    for (int iter = 0; iter < 50; ++iter) {
        const double a = c - halfWidth, b = c + halfWidth;
        double sum = 0, moment = 0;
        for (int i = std::max(0, static_cast<int>(std::floor(a))); i <= std::min(n - 1, static_cast<int>(std::ceil(b)));
             ++i) {
            const double w = std::clamp(std::min(b, i + 0.5) - std::max(a, i - 0.5), 0.0, 1.0);
            sum += w * s[static_cast<std::size_t>(i)];
            moment += w * s[static_cast<std::size_t>(i)] * i;
        }
        if (!(sum > 0)) return start;
        const double next = moment / sum;
        if (std::abs(next - c) < 1e-6) return next;
        c = next;
    }
    return c;
}

// A seed from the counts, so the same spectrum always gives the same resamples.
std::uint64_t seedOf(std::span<const std::int32_t> s, int n) {
    std::uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < n; ++i) {
        h ^= static_cast<std::uint32_t>(s[static_cast<std::size_t>(i)]);
        h *= 1099511628211ull;
    }
    return h;
}

// Standard deviation of the centroid and the FWHM over Poisson resamples of the
// check spectrum: the counting scatter of exactly the estimators used, whatever
// their efficiency. Only the channels the peak is measured on are resampled.
void resampledScatter(const CountedSpectrum& check, int n, int lo, int hi, const PeakSearch& search, QcMeasurement& m) {
    PeakSearch inner = search;
    inner.resamples = 0;
    inner.expectedChannel = search.expectedChannel.value_or(nominalChannel662(n));
    std::vector<std::int32_t> copy(check.counts.begin(), check.counts.begin() + n);
    std::mt19937_64 rng(seedOf(check.counts, n));
    const int a = std::max(0, lo - 8), b = std::min(n - 1, hi + 8);
    double sp = 0, sp2 = 0, sf = 0, sf2 = 0;
    int used = 0;
    for (int k = 0; k < search.resamples; ++k) {
        for (int i = a; i <= b; ++i) {
            const std::int32_t c = check.counts[static_cast<std::size_t>(i)];
            copy[static_cast<std::size_t>(i)] =
                c > 0 ? std::poisson_distribution<std::int32_t>(static_cast<double>(c))(rng) : 0;
        }
        const QcMeasurement r = measureCheckSource({copy, n, check.seconds}, std::nullopt, inner);
        if (!r.ok) continue;
        const double dp = r.values.peakChannel - m.values.peakChannel, df = r.values.fwhmPercent - m.values.fwhmPercent;
        sp += dp, sp2 += dp * dp, sf += df, sf2 += df * df;
        ++used;
    }
    if (used < 2) return;
    const double u = used;
    m.countingSd.peakChannel = std::sqrt(std::max(0.0, (sp2 - sp * sp / u) / (u - 1)));
    m.countingSd.fwhmPercent = std::sqrt(std::max(0.0, (sf2 - sf * sf / u) / (u - 1)));
}

// Regularised lower incomplete gamma P(a, x) (series below a + 1, continued fraction above).
double gammaP(double a, double x) {
    if (!(x > 0)) return 0.0;
    const double lead = std::exp(-x + a * std::log(x) - std::lgamma(a));
    if (x < a + 1) {
        double term = 1.0 / a, sum = term;
        for (int k = 1; k < 1000 && std::abs(term) > std::abs(sum) * 1e-15; ++k) {
            term *= x / (a + k);
            sum += term;
        }
        return std::min(1.0, sum * lead);
    }
    // Lentz's method for the continued fraction of Q(a, x).
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 1000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::abs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::abs(c) < tiny) c = tiny;
        d = 1 / d;
        const double delta = d * c;
        h *= delta;
        if (std::abs(delta - 1) < 1e-15) break;
    }
    return std::max(0.0, 1.0 - lead * h);
}

double normalCdf(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

}  // namespace

double chiSquareUpperTail(double chi2, int dof) {
    if (dof < 1 || !std::isfinite(chi2)) return chi2 == INFINITY ? 0.0 : 1.0;
    return 1.0 - gammaP(dof / 2.0, chi2 / 2.0);
}

double fractionOutside(double c, double fwhm, double lo, double hi) {
    if (!(fwhm > 0) || !std::isfinite(c)) return 1.0;
    const double sigma = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    // A channel spans x - 0.5 .. x + 0.5.
    return 1.0 - (normalCdf((hi + 0.5 - c) / sigma) - normalCdf((lo - 0.5 - c) / sigma));
}

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
    m.values.peakChannel = windowCentroid(check.counts, n, *centroid, m.fwhmChannels);
    if (m.values.peakChannel < lo || m.values.peakChannel > hi) m.values.peakChannel = *centroid;
    m.values.fwhmPercent = 100.0 * m.fwhmChannels / m.values.peakChannel;

    const double half = search.windowFwhms * m.fwhmChannels;
    m.windowLo = std::max(0, static_cast<int>(std::lround(m.values.peakChannel - half)));
    m.windowHi = std::min(n - 1, static_cast<int>(std::lround(m.values.peakChannel + half)));
    const double gross = sumOver(check.counts, n, m.windowLo, m.windowHi);
    if (gross < kMinPeakCounts) {
        m.error = "too few counts in the 662 keV peak (" + std::to_string(static_cast<long long>(gross)) +
                  "); count the check source longer";
        return m;
    }
    m.grossRateCps = gross / check.seconds;
    m.values.netRateCps = m.grossRateCps;
    m.grossCounts = gross;
    m.checkSeconds = check.seconds;
    m.netCounts = gross;
    m.countingSd.netRateCps = std::sqrt(gross) / check.seconds;

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
        m.backgroundWindowCounts = *m.backgroundWindowCps * background->seconds;
        m.backgroundSeconds = background->seconds;
        m.netCounts = gross - *m.backgroundWindowCps * check.seconds;
        m.countingSd.netRateCps = std::sqrt(gross / (check.seconds * check.seconds) +
                                            m.backgroundWindowCounts / (background->seconds * background->seconds));
    }
    if (search.resamples > 1) resampledScatter(check, n, lo, hi, search, m);
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
        case Reason::Trend:
            return std::string(names[r.quantity]) + " " + std::to_string(static_cast<int>(std::abs(r.value))) +
                   " runs in a row " + (r.value > 0 ? "above" : "below") + " the mean";
        case Reason::OutsideWindow:
            return "peak channel " + fixed(r.value, 1) + " outside the middle half of the Cs window (" +
                   fixed(r.lo, 1) + "-" + fixed(r.hi, 1) + ")";
        case Reason::WindowLoss: return fixed(r.value, 1) + " % of the 662 keV line outside the Cs window";
        case Reason::BaselineScatter:
            return std::string("baseline scatter of ") + names[r.quantity] + " exceeds counting statistics (chi-square " +
                   fixed(r.value, 1) + " for " + std::to_string(static_cast<int>(r.lo)) + " degrees of freedom, p = " +
                   fixed(r.hi, 3) + ")";
        case Reason::NoCountingScatter:
            return "baseline runs recorded without their counting scatter: start a new baseline";
        case Reason::NotANumber: break;
    }
    return "a figure is not a number";
}

std::string reasonsText(const std::vector<Reason>& reasons) {
    std::string out;
    for (const auto& r : reasons) out += (out.empty() ? "" : "; ") + reasonText(r);
    return out;
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

BaselineStats baselineStats(std::span<const QcValues> runs, std::span<const QcValues> countingSd) {
    BaselineStats b;
    b.n = static_cast<int>(runs.size());
    const bool withCounting = countingSd.size() == runs.size();
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
        r.sigma = r.sd;
        if (!withCounting) return r;
        double var = 0, chi2 = 0;
        bool all = true;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const double u = countingSd[i].*field;
            all = all && u > 0 && std::isfinite(u);
            var += u * u;
            if (u > 0) chi2 += (runs[i].*field - r.mean) * (runs[i].*field - r.mean) / (u * u);
        }
        r.countingSd = std::sqrt(var / static_cast<double>(runs.size()));
        r.excessSd = std::sqrt(std::max(0.0, r.sd * r.sd - r.countingSd * r.countingSd));
        // Without every run's counting scatter the baseline cannot be tested against it.
        r.chi2 = all ? chi2 : INFINITY;
        r.pValue = all ? chiSquareUpperTail(chi2, b.n - 1) : 0.0;
        r.sigma = std::sqrt(r.countingSd * r.countingSd + r.excessSd * r.excessSd + r.sd * r.sd / b.n);
        return r;
    };
    b.peakChannel = stat(&QcValues::peakChannel);
    b.fwhmPercent = stat(&QcValues::fwhmPercent);
    b.netRateCps = stat(&QcValues::netRateCps);
    return b;
}

bool baselineAccepted(const BaselineStats& b, int nRequired, std::vector<Reason>* reasons) {
    if (b.n < std::max(nRequired, 2)) return false;
    bool ok = true;
    const std::pair<Reason::Quantity, const MeanSd*> qs[] = {
        {Reason::PeakChannel, &b.peakChannel}, {Reason::FwhmPercent, &b.fwhmPercent}, {Reason::NetRate, &b.netRateCps}};
    for (const auto& [q, m] : qs) {
        if (m->pValue >= kBaselineChiSquareLevel) continue;
        if (reasons && !std::isfinite(m->chi2)) {
            if (ok) reasons->push_back({Reason::NoCountingScatter, q});
        } else if (reasons) {
            reasons->push_back({Reason::BaselineScatter, q, m->chi2, static_cast<double>(b.n - 1), m->pValue});
        }
        ok = false;
    }
    return ok;
}

Assessment assess(const RunFigures& run, const BaselineStats& b, int nRequired, std::span<const QcValues> recent,
                  const std::optional<AnalysisWindow>& window) {
    const QcValues& v = run.values;
    Assessment a;
    auto raise = [&](Status s, Reason why) {
        if (static_cast<int>(s) > static_cast<int>(a.status)) a.status = s;
        a.reasons.push_back(why);
    };
    if (!std::isfinite(v.peakChannel) || !std::isfinite(v.fwhmPercent) || !std::isfinite(v.netRateCps)) {
        raise(Status::Action, {});
        return a;
    }
    // Fixed tolerances: they hold whatever the baseline's scatter, and a run that
    // breaks one is not taken into a baseline either.
    auto fixedRules = [&] {
        if (window && run.channels > 0 && window->channels > 0) {
            // The same middle half as the screening's gain check, in the window's own channels.
            const int n = run.channels;
            const double quarter = (window->hi - window->lo) / 4.0;
            const double inLo = window->lo + quarter, inHi = window->hi - quarter;
            const double c = window->fromChannel(v.peakChannel, n);
            if (c < inLo || c > inHi)
                raise(Status::Action, {Reason::OutsideWindow, Reason::PeakChannel, v.peakChannel,
                                       window->toChannel(inLo, n), window->toChannel(inHi, n)});
            const double fwhm = v.fwhmPercent / 100.0 * v.peakChannel * window->channels / n;
            const double lost = fractionOutside(c, fwhm, window->lo, window->hi);
            if (lost > kActionWindowLoss) raise(Status::Action, {Reason::WindowLoss, Reason::FwhmPercent, 100 * lost});
        }
        if (b.n == 0) return;
        if (b.peakChannel.mean > 0) {
            const double shift = (v.peakChannel - b.peakChannel.mean) / b.peakChannel.mean;
            if (std::abs(shift) > kActionPeakShift) raise(Status::Action, {Reason::PeakShift, Reason::PeakChannel, 100 * shift});
        }
        if (b.netRateCps.mean > 0) {
            const double change = (v.netRateCps - b.netRateCps.mean) / b.netRateCps.mean;
            if (std::abs(change) > kActionRateChange)
                raise(Status::Action, {Reason::RateChange, Reason::NetRate, 100 * change});
        }
    };
    if (!baselineAccepted(b, nRequired)) {
        // While a baseline is collected, a run far from the runs before it is not
        // accepted into it: a drift during the collection must not widen the limits.
        fixedRules();
        if (a.status == Status::Baseline && b.n >= std::max(nRequired, 2)) baselineAccepted(b, nRequired, &a.reasons);
        return a;
    }
    a.status = Status::Ok;
    auto sigmaRule = [&](Reason::Quantity q, double x, double counting, const MeanSd& m) {
        const double var = counting * counting + m.excessSd * m.excessSd + m.sd * m.sd / b.n;
        if (!(var > 0)) return;
        const double z = (x - m.mean) / std::sqrt(var);
        if (std::abs(z) > kActionSd) raise(Status::Action, {Reason::SdFromMean, q, z});
        else if (std::abs(z) > kWarningSd) raise(Status::Warning, {Reason::SdFromMean, q, z});
    };
    sigmaRule(Reason::PeakChannel, v.peakChannel, run.countingSd.peakChannel, b.peakChannel);
    sigmaRule(Reason::FwhmPercent, v.fwhmPercent, run.countingSd.fwhmPercent, b.fwhmPercent);
    sigmaRule(Reason::NetRate, v.netRateCps, run.countingSd.netRateCps, b.netRateCps);
    fixedRules();

    // Trend: this run and the kTrendRuns - 1 judged runs before it on one side of the mean.
    if (static_cast<int>(recent.size()) >= kTrendRuns - 1) {
        const auto last = recent.last(static_cast<std::size_t>(kTrendRuns - 1));
        auto trend = [&](Reason::Quantity q, double QcValues::*field, const MeanSd& m) {
            const double side = v.*field > m.mean ? 1 : v.*field < m.mean ? -1 : 0;
            if (side == 0) return;
            for (const auto& r : last)
                if ((r.*field - m.mean) * side <= 0) return;
            raise(Status::Warning, {Reason::Trend, q, side * kTrendRuns});
        };
        trend(Reason::PeakChannel, &QcValues::peakChannel, b.peakChannel);
        trend(Reason::FwhmPercent, &QcValues::fwhmPercent, b.fwhmPercent);
        trend(Reason::NetRate, &QcValues::netRateCps, b.netRateCps);
    }
    return a;
}

}  // namespace xmca::qc
