#include "model/verdict_grounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/bq_calic.h"
#include "model/screening.h"

namespace xmca {

namespace {

using H = SpectrumHeader;

constexpr MethodLine kLines[] = {
    {"Cs-134", 563.25}, {"Cs-134", 569.33}, {"Cs-134", 604.72}, {"Cs-137", 661.657}, {"Cs-134", 795.86},
    {"Cs-134", 801.95}, {"Cs-134", 1365.19}, {"Cs-134", 1400.58},  // 1400.58: the 605 + 796 keV sum peak
    {"K-40", 1460.82},
};
constexpr double kCs137 = 661.657;
constexpr double kK40 = 1460.82;
constexpr double kElectronKeV = 510.999;
// A line's peak is looked for this far (relative) from its energy; found farther
// than the gain tolerance, it tells of a gain error.
constexpr double kGainReach = 0.20;

std::string keVText(double keV) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.0f keV", keV);
    return buf;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// 2:1 compression of the first n channels into doubles (no smoothing).
std::vector<double> compressed(std::span<const std::int32_t> c, int n) {
    n = std::clamp(n, 0, static_cast<int>(c.size()));
    std::vector<double> out(static_cast<std::size_t>(n / 2), 0.0);
    for (int j = 0; j < n / 2; ++j)
        out[static_cast<std::size_t>(j)] =
            static_cast<double>(c[static_cast<std::size_t>(2 * j)]) + c[static_cast<std::size_t>(2 * j + 1)];
    return out;
}

// The most significant peak within kGainReach of a method line and nearer to it
// than to any other method line (in a sample, a Cs-134 peak near K-40 is not
// K-40's; a background holds no Cs-134, so there any peak in reach is taken).
std::optional<peaks::Peak> peakNear(const std::vector<peaks::Peak>& found, double keV, bool nearestOnly) {
    for (const peaks::Peak& p : found) {  // most significant first
        if (std::fabs(p.keV / keV - 1.0) > kGainReach) continue;
        if (!nearestOnly) return p;
        const bool nearest = std::none_of(std::begin(kLines), std::end(kLines), [&](const MethodLine& l) {
            return std::fabs(p.keV - l.keV) < std::fabs(p.keV - keV);
        });
        if (nearest) return p;
    }
    return std::nullopt;
}

// A located peak on its line: within the tolerance, widened by three times the
// centroid's own counting spread (a barely significant peak is placed loosely).
bool onLine(const peaks::Peak& p, double line, double tol) {
    return std::fabs(p.keV - line) <= tol * line + 3.0 * p.centroidSigmaKeV;
}

// True when the K-40 window, or all windows together, count far less than the
// background alone gives in the sample's counting time: no sample on a working
// detector counts less than its own background. "Far": under half of it and more
// than four standard deviations below it, so that a sample shielding some
// background, or a scant background, does not trip it.
bool farBelowBackground(double gross, double expected) {
    return gross < 0.5 * expected && expected - gross > 4.0 * std::sqrt(expected);
}

bool sampleBelowBackground(const ActivityResult& res) {
    if (res.backgroundRealTime <= 0) return false;
    const double scale = static_cast<double>(res.sampleRealTime) / res.backgroundRealTime;
    double gross = 0.0, expected = 0.0;
    for (const ActivityWindow& w : res.windows) {
        gross += w.gross;
        expected += w.background * scale;
    }
    const ActivityWindow& k40 = res.windows[kWinK40];
    return farBelowBackground(k40.gross, k40.background * scale) || farBelowBackground(gross, expected);
}

void inputs(const GroundsSpectrum& sample, const GroundsSpectrum& background, const GroundsOptions& o,
            ActivityResult& res) {
    constexpr auto rank = ReasonRank::Inputs;
    if (res.sampleChannels != kWindowsChannels)
        withholdVerdict(res, "windows need " + std::to_string(kWindowsChannels) + " channels", rank);
    if (sample.startedMinute && background.startedMinute) {
        const std::int64_t age = *sample.startedMinute - *background.startedMinute;
        if (age < 0)
            withholdVerdict(res, kReasonBackgroundAfter, rank);
        else if (age > static_cast<std::int64_t>(o.backgroundMaxAgeDays) * 24 * 60)
            withholdVerdict(res, kReasonBackgroundOld, rank);
    }
    checkMass(o, res);
    if (res.baseline) withholdVerdict(res, kBaselineReason, rank);
}

}  // namespace

std::span<const MethodLine> methodLines() { return kLines; }

std::optional<std::int64_t> startedMinute(const SpectrumHeader& h) {
    const int y = h.i16(H::kYear), mo = h.i16(H::kMonth), d = h.i16(H::kDay);
    const int hh = h.i16(H::kHour), mi = h.i16(H::kMinute);
    if (y < 1900 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || hh < 0 || hh > 23 || mi < 0 || mi > 59)
        return std::nullopt;
    return daysFromCivil(y, mo, d) * 1440 + hh * 60 + mi;
}

GroundsSpectrum groundsSpectrum(const MemorySpectrum& m) {
    GroundsSpectrum g;
    g.channels = std::clamp<int>(m.header.channelCount(), 0, kMemChannels);
    g.counts = std::span<const std::int32_t>(m.counts.data(), static_cast<std::size_t>(g.channels));
    g.realTime = m.header.i32(H::kRealTime);
    g.liveTime = m.header.i32(H::kLiveTime);
    g.startedMinute = startedMinute(m.header);
    return g;
}

bool explainedPeak(const peaks::Peak& p, std::span<const peaks::Peak> found, double tolerance, double fwhm662) {
    for (const MethodLine& l : kLines)
        if (onLine(p, l.keV, tolerance)) return true;
    // Between two neighbouring lines closer than 1.5 FWHM the peak is their blend.
    for (std::size_t i = 0; i + 1 < std::size(kLines); ++i) {
        const double a = kLines[i].keV, b = kLines[i + 1].keV;
        if (b - a < 1.5 * peaks::fwhmKeV(0.5 * (a + b), fwhm662) && p.keV >= a && p.keV <= b) return true;
    }
    // The hump below a Compton edge of a line whose own peak was found, and is larger.
    for (const MethodLine& l : kLines) {
        const double edge = l.keV - l.keV / (1.0 + 2.0 * l.keV / kElectronKeV);
        if (p.keV < 0.85 * edge || p.keV > 1.03 * edge) continue;
        for (const peaks::Peak& q : found)
            if (onLine(q, l.keV, tolerance) && q.area > p.area) return true;
    }
    return false;
}

void checkMass(const GroundsOptions& o, ActivityResult& res) {
    if (!o.nominalMassKg || !o.massKg || !(*o.nominalMassKg > 0)) return;
    const double ratio = *o.massKg / *o.nominalMassKg;
    if (!(ratio >= o.massLow && ratio <= o.massHigh)) withholdVerdict(res, kReasonMass, ReasonRank::Inputs);
}

void checkGrounds(const GroundsSpectrum& sample, const GroundsSpectrum& background, const GroundsOptions& o,
                  ActivityResult& res) {
    ScreeningResult& sc = res.screening;
    GainCheck& g = sc.gain;
    g = GainCheck{};
    if (!res.valid || !sc.valid) return;
    inputs(sample, background, o, res);
    if (sample.channels != background.channels || sample.channels < 16) return;

    const int n = sample.channels;
    const peaks::NominalScale scale = peaks::NominalScale::compressed(n);
    const double tol = o.gainTolerance;
    auto channelOf = [](const peaks::Peak& p) { return p.channel; };

    // The background's grounds: its K-40 peak where the gain puts it, no caesium.
    const std::vector<double> b = compressed(background.counts, n);
    const std::vector<peaks::Peak> bgPeaks = peaks::findPeaks(b, b, scale, o.search);
    constexpr auto bgRank = ReasonRank::Background;
    if (const auto k = peakNear(bgPeaks, kK40, false)) {
        g.k40Channel = channelOf(*k);
        g.backgroundK40 = onLine(*k, kK40, tol) ? "ok" : "off";
    } else {
        g.backgroundK40 = "not found";
    }
    if (g.backgroundK40 == "not found") withholdVerdict(res, kReasonBackgroundNoK40, bgRank);
    if (g.backgroundK40 == "off") {
        g.ok = false;
        g.warning = "Check gain: K-40 peak at channel " + std::to_string(std::lround(*g.k40Channel));
        withholdVerdict(res, kReasonCheckGain, bgRank);
    }
    const double t0 = background.realTime * 0.1;
    for (const peaks::Peak& p : bgPeaks)
        if (onLine(p, kCs137, tol) && t0 > 0) {
            // The Cs-All figure the peak alone would give in a sample.
            const double bq = p.area / peaks::areaFraction() / t0 * limits::kFactorCsAll;
            g.backgroundCaesium = bq;
            if (bq > 0.1 * o.level) withholdVerdict(res, kReasonBackgroundCaesium, bgRank);
            break;
        }

    // The sample's: above its background, every significant net peak explained,
    // its own peaks where the gain puts them.
    constexpr auto sRank = ReasonRank::Sample;
    if (sampleBelowBackground(res)) withholdVerdict(res, "sample below background", sRank);
    if (!(sample.realTime > 0) || !(background.realTime > 0)) return;
    const double f = static_cast<double>(sample.realTime) / background.realTime;
    const std::vector<double> s = compressed(sample.counts, n);
    std::vector<double> net(s.size()), var(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        net[i] = s[i] - f * b[i];
        // A sample channel counts at least the background it sits on: where the sample
        // holds no count at all, its count says nothing of its spread.
        var[i] = std::max(s[i], f * b[i]) + f * f * b[i];
    }
    const std::vector<peaks::Peak> netPeaks = peaks::findPeaks(net, var, scale, o.search);
    for (const peaks::Peak& p : netPeaks)
        if (!explainedPeak(p, netPeaks, tol, o.search.fwhm662)) {
            g.unexplainedKeV = p.keV;
            withholdVerdict(res, std::string(kReasonUnexplainedPeak) + " " + keVText(p.keV), sRank);
            break;
        }
    if (const auto k = peakNear(netPeaks, kK40, true)) {
        g.sampleK40Channel = channelOf(*k);
        g.sampleK40 = onLine(*k, kK40, tol) ? "ok" : "off";
    }
    if (const auto c = peakNear(netPeaks, kCs137, true)) {
        g.cs137Channel = channelOf(*c);
        // The Cs-137 peak may blend with Cs-134's 563-605 keV lines.
        const double spread = 3.0 * c->centroidSigmaKeV;
        g.cs137 = c->keV >= 563.25 * (1.0 - tol) - spread && c->keV <= kCs137 * (1.0 + tol) + spread ? "ok" : "off";
    }
    if (g.ok && g.sampleK40 == "off")
        g.warning = "Check gain: K-40 peak at channel " + std::to_string(std::lround(*g.sampleK40Channel));
    else if (g.ok && g.cs137 == "off")
        g.warning = "Check gain: Cs-137 peak at channel " + std::to_string(std::lround(*g.cs137Channel));
    if (g.ok && !g.warning.empty()) {
        g.ok = false;
        withholdVerdict(res, kReasonCheckGain, sRank);
    }
}

}  // namespace xmca
