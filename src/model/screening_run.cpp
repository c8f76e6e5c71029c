#include "model/screening_run.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "model/bq_calic.h"
#include "model/local_time.h"
#include "model/measurement_state.h"
#include "model/method_choice.h"
#include "model/screening.h"
#include "model/spectrum_io.h"
#include "model/verdict_grounds.h"

namespace xmca {

namespace {

// Why a file did not land in its memory, as the window would say it.
std::string loadError(const std::string& path, const FileLoadResult& r) {
    if (!r.opened) return "Error ! cannot open " + path;
    if (!r.valid)
        return "Error ! " + path + " is not a valid spectrum file (" + std::to_string(r.channelsRead) +
               " channels read)";
    if (!r.edit1.empty()) return r.edit1 + " (" + path + ")";
    return "Error ! " + path + " could not be stored";
}

SpectrumTimes timesOf(const SpectrumHeader& h) {
    using H = SpectrumHeader;
    SpectrumTimes t;
    t.realTimeS = h.i32(H::kRealTime) * 0.1;
    t.liveTimeS = h.i32(H::kLiveTime) * 0.1;
    const int y = h.i16(H::kYear), mo = h.i16(H::kMonth), d = h.i16(H::kDay);
    if (y > 0 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", y, mo, d, h.i16(H::kHour) % 100,
                      h.i16(H::kMinute) % 100);
        t.started = buf;
        if (const auto at = fromLocalFields(y, mo, d, h.i16(H::kHour), h.i16(H::kMinute), h.i16(H::kSecond))) {
            t.startIso = isoLocal(*at);
            t.endIso = isoLocal(*at + static_cast<std::time_t>(std::lround(t.realTimeS)));
        }
    }
    t.simulated = h.simulated();
    return t;
}

void scale(limits::WindowLimits& l, double f) {
    l.activity *= f;
    l.uncertainty *= f;
    l.decisionThreshold *= f;
    l.detectionLimit *= f;
    l.lowerLimitOfMeasurement *= f;
}

}  // namespace

std::optional<double> massFactor(const std::optional<double>& nominalMassKg, const std::optional<double>& massKg) {
    if (!nominalMassKg || !massKg) return std::nullopt;
    if (!(*nominalMassKg > 0) || !(*massKg > 0) || !std::isfinite(*nominalMassKg) || !std::isfinite(*massKg))
        return std::nullopt;
    const double f = *nominalMassKg / *massKg;
    if (!std::isfinite(f)) return std::nullopt;  // a mass too small to divide by
    return f;
}

void applyMassFactor(ActivityResult& res, double f, const ScreeningSettings& settings) {
    for (auto& a : res.activity) {
        a.bqPerKg = static_cast<float>(a.bqPerKg * f);
        a.sigma = static_cast<float>(a.sigma * f);
    }
    ScreeningResult& sc = res.screening;
    if (!sc.valid) return;
    scale(sc.csTotal, f);
    scale(sc.cs134, f);
    updateVerdict(res, settings);
    // The count time that meets the lower limit: the window's factor grows by f too.
    if (sc.countTimeNeeded) {
        const double t0 = res.backgroundRealTime * 0.1;
        const double r0 = res.windows[kWinCsAll].background / t0;
        sc.countTimeNeeded = limits::countTimeNeeded(sc.lowerLimit, limits::kFactorCsAll * f, r0, t0);
    }
}

MethodInputs methodInputs(const MeasurementState& s) {
    MethodInputs in;
    in.sample = countedSpectrum(s.mem[0]);
    in.background = countedSpectrum(s.mem[1]);
    in.measuredDay = spectrumStartDay(s.mem[0].header);
    return in;
}

void applyScreeningOptions(ActivityResult& res, const MethodInputs& in, const ScreeningOptions& options,
                           std::optional<double>& massFactorApplied, std::optional<activity::Figure>& factoryCsAll) {
    const bool corrected = options.decayToSampling && !options.samplingDate.empty();
    const bool calibrated = options.method && !options.method->isFactory();
    if (calibrated) factoryCsAll = res.activity[kRowCsAll];
    // A calibrated method (or a decay correction) divides by the mass itself.
    if (!calibrated && !corrected) {
        if (const auto f = massFactor(options.nominalMassKg, options.massKg)) {
            applyMassFactor(res, *f, options.settings);
            massFactorApplied = f;
        }
    }
    if (!options.method) return;
    MethodApplication how;
    how.massKg = options.massKg;
    // The fixed factors scale with the mass only where the laboratory states its nominal mass.
    if (options.method->isFactory()) how.massKg = options.nominalMassKg ? options.massKg : std::nullopt;
    how.samplingDate = options.samplingDate;
    how.decayToSampling = options.decayToSampling;
    how.measuredDay = in.measuredDay;
    applyMethod(res, *options.method, in.sample, in.background, how, options.settings);
}

ScreeningOutcome screenFiles(const std::string& samplePath, const std::string& backgroundPath,
                             const ScreeningOptions& options) {
    ScreeningOutcome out;
    auto s = std::make_unique<MeasurementState>();
    s->workingLld = 0;  // no LLD cut, as `mcatool activity`
    s->screeningSettings = options.settings;
    const FileLoadResult sample = readSampleFile(*s, samplePath);
    if (sample.memoryStored != 1) {
        out.error = loadError(samplePath, sample);
        return out;
    }
    const FileLoadResult background = readBackgroundFile(*s, backgroundPath);
    if (background.memoryStored != 2) {
        out.error = loadError(backgroundPath, background);
        return out;
    }
    const MethodInputs inputs = methodInputs(*s);
    const CalicOutcome calic = bqCalic(*s);
    if (!calic.computed) {
        const std::string msg =
            calic.edit1.empty() ? "Error ! the background file could not be read again" : calic.edit1;
        out.error = msg.rfind("Error !", 0) == 0 ? msg : "Error ! " + msg;
        return out;
    }
    out.computed = true;
    out.result = s->activity;
    out.sample = timesOf(s->keptSample.header);
    out.background = timesOf(s->mem[1].header);
    // The hashes of the bytes the figures were computed from, taken as each file was read.
    out.sampleSha256 = out.result.sampleSha256;
    out.backgroundSha256 = out.result.backgroundSha256;
    applyScreeningOptions(out.result, inputs, options, out.massFactor, out.factoryCsAll);
    // A calibrated method holds its own mass range (applyMethod checks it); the fixed
    // factors take the laboratory's nominal mass.
    if (!options.method || options.method->isFactory()) {
        GroundsOptions grounds;
        grounds.nominalMassKg = options.nominalMassKg;
        grounds.massKg = options.massKg;
        checkMass(grounds, out.result);
    }
    return out;
}

}  // namespace xmca
