#include "model/method_choice.h"

#include <cmath>
#include <cstdio>

#include "model/bq_calic.h"
#include "model/screening.h"

namespace xmca {

namespace {

// The method counts the very windows "Bq Calic" sums.
constexpr bool sameWindow(const method::WindowRange& r, const FixedWindow& w) { return r.lo == w.start && r.hi == w.end; }
static_assert(sameWindow(method::kWindowRanges[method::kCsAllWindow], kWindowCsAll));
static_assert(sameWindow(method::kWindowRanges[method::kCs134Window], kWindowCs134));
static_assert(sameWindow(method::kWindowRanges[method::kK40Window], kWindowK40));

limits::WindowLimits toWindowLimits(const method::Limits& l) {
    limits::WindowLimits w;
    w.activity = l.value;
    w.uncertainty = l.u;
    w.decisionThreshold = l.decisionThreshold;
    w.detectionLimit = l.detectionLimit.value_or(std::nan(""));
    w.lowerLimitOfMeasurement = l.lowerLimitOfMeasurement.value_or(std::nan(""));
    w.belowDecisionThreshold = l.belowDecisionThreshold;
    return w;
}

}  // namespace

double methodCountingTime(const SpectrumHeader& h) {
    const std::int32_t live = h.i32(SpectrumHeader::kLiveTime), real = h.i32(SpectrumHeader::kRealTime);
    if (live > 0) return live * 0.1;
    return real > 0 ? real * 0.1 : 0.0;
}

method::CountedSpectrum countedSpectrum(const MemorySpectrum& m) {
    method::CountedSpectrum c;
    c.sums = method::windowSums(m.counts, m.header.channelCount());
    c.timeS = methodCountingTime(m.header);
    return c;
}

std::optional<double> spectrumStartDay(const SpectrumHeader& h) {
    using H = SpectrumHeader;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", h.i16(H::kYear), h.i16(H::kMonth), h.i16(H::kDay),
                  h.i16(H::kHour), h.i16(H::kMinute));
    return nuclide::dayTime(buf);
}

bool applyMethod(ActivityResult& res, const method::Method& m, const method::CountedSpectrum& sample,
                 const method::CountedSpectrum& background, const MethodApplication& how,
                 const ScreeningSettings& settings) {
    res.method.name = m.name;
    res.method.version = m.version;
    res.method.calibratedUtc = m.calibratedUtc;
    res.method.cs134Assumed = m.cs134Assumed;
    res.method.decayCorrectedTo.clear();

    std::array<double, 3> scale{1.0, 1.0, 1.0};
    if (how.decayToSampling && !how.samplingDate.empty()) {
        const auto sampled = nuclide::dayNumber(how.samplingDate);
        if (!sampled || !how.measuredDay || *sampled > *how.measuredDay) {
            withholdVerdict(res, "no decay correction: the sampling date is not before the measurement");
            return false;
        }
        for (int n = 0; n < 3; ++n)
            scale[n] = 1.0 / nuclide::decayFactor(static_cast<nuclide::Nuclide>(n), *how.measuredDay - *sampled);
    }
    const bool corrected = scale != std::array<double, 3>{1.0, 1.0, 1.0};
    if (m.isFactory() && !corrected) return true;  // the record's fixed-factor figures stand

    const double mass = how.massKg.value_or(m.nominalMassKg > 0 ? m.nominalMassKg : 1.0);
    const method::Evaluation ev = method::evaluate(m.response, sample, background, mass, limits::kCoverage, scale);
    if (!ev.ok) {
        withholdVerdict(res, "the method's figures could not be formed");
        return false;
    }
    for (int row = 0; row < method::kRowCount; ++row) {
        res.activity[static_cast<std::size_t>(row)].bqPerKg = static_cast<float>(ev.rows[row].value);
        res.activity[static_cast<std::size_t>(row)].sigma = static_cast<float>(ev.rows[row].u);
    }
    if (corrected) res.method.decayCorrectedTo = how.samplingDate;
    ScreeningResult& sc = res.screening;
    if (!sc.valid) return true;
    sc.csTotal = toWindowLimits(ev.rows[method::kRowCsAll]);
    sc.cs134 = toWindowLimits(ev.rows[method::kRowCs134]);
    // The gain check looks for the Cs-137 peak only where Cs-All stands above its
    // decision threshold; by the method's figures (K-40's continuum taken off) it
    // may not, and a warning from that peak then has no grounds.
    if (sc.csTotal.belowDecisionThreshold && sc.gain.cs137Channel && !sc.gain.ok &&
        sc.gain.warning.rfind("Check gain: Cs-137", 0) == 0) {
        sc.gain.cs137Channel.reset();
        sc.gain.ok = true;
        sc.gain.warning.clear();
        if (sc.withheld == "check gain") sc.withheld.clear();  // the last of the grounds checks
    }
    const bool hadNoCountTime = !sc.withheld.empty();
    updateVerdict(res, settings);
    sc.countTimeNeeded.reset();
    if (!ev.rows[method::kRowCsAll].lowerLimitOfMeasurement || !ev.rows[method::kRowCsAll].detectionLimit)
        withholdVerdict(res, kNoDetectionLimit);
    if (how.massKg && !m.massAccepted(*how.massKg)) withholdVerdict(res, kMassOutsideRange);
    if (sc.withheld.empty() && !hadNoCountTime && sc.verdict == limits::Verdict::LowerLimitNotMet)
        sc.countTimeNeeded =
            method::countTimeNeeded(m.response, sample, background, mass, sc.lowerLimit, scale);
    return true;
}

std::string methodRefText(const MethodRef& m) {
    std::string t = m.name + " v" + std::to_string(m.version);
    if (!m.calibratedUtc.empty()) t += ", calibrated " + m.calibratedUtc.substr(0, 10);
    if (m.cs134Assumed) t += ", Cs-134 response assumed";
    if (!m.decayCorrectedTo.empty()) t += ", decay-corrected to " + m.decayCorrectedTo;
    return t;
}

}  // namespace xmca
