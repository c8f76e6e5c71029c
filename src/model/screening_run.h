// One screening from a sample file and a background file: a scratch measurement
// state, "ReadSpec", "BG File" and "Bq Calic" exactly as the window runs them,
// then the laboratory's mass correction. The window's Screening page, `mcatool
// screen` and `mcatool register verify` all compute through here.
#pragma once

#include <optional>
#include <string>

#include "analysis/method.h"
#include "model/activity_result.h"
#include "model/measurement_state.h"

namespace xmca {

struct ScreeningOptions {
    ScreeningSettings settings;
    // The laboratory's nominal sample mass, for which the fixed factors hold.
    // Unset: no correction. Set, with a sample mass: figures scale by nominal / actual.
    std::optional<double> nominalMassKg;
    std::optional<double> massKg;  // the sample's mass as weighed
    // The method in force; unset: the factory method as the computation gives it.
    std::optional<method::Method> method;
    std::string samplingDate;      // "YYYY-MM-DD" or empty
    bool decayToSampling = false;  // decay-correct the figures back to the sampling date
};

// When a spectrum was started, from its header ("YYYY-MM-DD HH:MM", empty when unset).
struct SpectrumTimes {
    double realTimeS = 0;
    double liveTimeS = 0;
    std::string started;
    // The count's start and end (start + real time) in local time with its offset; empty when unset.
    std::string startIso, endIso;
    bool simulated = false;  // the header says the simulated analyser counted it
};

struct ScreeningOutcome {
    bool computed = false;
    std::string error;      // "Error ! ..." when not computed
    ActivityResult result;  // the result record, its inputs named
    std::optional<double> massFactor;  // nominal / actual when the correction was applied
    // The fixed factors' Cs-All figure when a calibrated method formed the result (for comparison).
    std::optional<activity::Figure> factoryCsAll;
    SpectrumTimes sample, background;
    std::string sampleSha256, backgroundSha256;  // of the files as read
};

// What the method counts of the spectra as read (before "Bq Calic" compresses them).
struct MethodInputs {
    method::CountedSpectrum sample, background;
    std::optional<double> measuredDay;  // the sample's start, days since 1970
};
MethodInputs methodInputs(const MeasurementState& s);

// After "Bq Calic": the mass correction of the fixed factors, or the calibrated
// method (and the decay correction) of the options, on the record.
void applyScreeningOptions(ActivityResult& res, const MethodInputs& in, const ScreeningOptions& options,
                           std::optional<double>& massFactorApplied, std::optional<activity::Figure>& factoryCsAll);

ScreeningOutcome screenFiles(const std::string& samplePath, const std::string& backgroundPath,
                             const ScreeningOptions& options);

// Scales activities, uncertainties and characteristic limits by factor and forms
// the verdict again on the scaled figures (a withheld verdict stays withheld).
void applyMassFactor(ActivityResult& res, double factor, const ScreeningSettings& settings);

// The factor to apply: nominal / actual when both are set and positive, else none.
std::optional<double> massFactor(const std::optional<double>& nominalMassKg, const std::optional<double>& massKg);

}  // namespace xmca
