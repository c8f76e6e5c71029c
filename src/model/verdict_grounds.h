// The grounds a screening verdict needs, checked on the spectra as read (not the
// compressed, smoothed memories) once the figures are formed: the inputs (channel
// count, dates, mass), the background (its K-40 peak, its gain, no caesium of its
// own) and the sample (above its background, no peak the method's nuclides do not
// explain, its gain). The first reason that holds withholds the verdict; the
// figures stay. A step of its own, so that any evaluation of a sample can call it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "analysis/peak_search.h"
#include "model/activity_result.h"
#include "model/measurement_state.h"

namespace xmca {

// Reasons, in the order they are given (also the ranks of withholdVerdict).
inline constexpr const char* kReasonBackgroundNoK40 = "background has no K-40 peak";
inline constexpr const char* kReasonBackgroundCaesium = "background shows caesium";
inline constexpr const char* kReasonBackgroundOld = "background too old";
inline constexpr const char* kReasonBackgroundAfter = "background dated after the sample";
inline constexpr const char* kReasonMass = "mass outside 0.5-2 x nominal";
inline constexpr const char* kReasonCheckGain = "check gain";
inline constexpr const char* kReasonUnexplainedPeak = "unexplained peak at";  // + " 927 keV"

// A spectrum as read from its file.
struct GroundsSpectrum {
    std::span<const std::int32_t> counts;
    int channels = 0;
    std::int32_t realTime = 0;  // 0.1 s
    std::int32_t liveTime = 0;  // 0.1 s
    std::optional<std::int64_t> startedMinute;  // minutes since 1970-01-01 from the header; nullopt: no date
};

// The spectrum of a memory as its header describes it.
GroundsSpectrum groundsSpectrum(const MemorySpectrum& m);

struct GroundsOptions {
    double level = 50.0;           // screening level (Bq/kg): the background's caesium limit is a tenth
    int backgroundMaxAgeDays = 7;  // older backgrounds withhold
    std::optional<double> nominalMassKg;
    std::optional<double> massKg;
    double massLow = 0.5, massHigh = 2.0;  // the mass range, times the nominal mass
    double gainTolerance = 0.025;  // relative distance of a peak from its line (the windows lose
                                   // a tenth of Cs-137 3 % up)
    peaks::SearchOptions search{peaks::kFwhm662, peaks::kSignificance, 300.0, 1800.0};
};

// Lines of the method's nuclides (keV): Cs-134, Cs-137, K-40.
struct MethodLine {
    const char* nuclide;
    double keV;
};
std::span<const MethodLine> methodLines();

// True when a peak at keV sits at a method line within the tolerance, between two
// lines too close to be resolved, or (below the peaks found) on the Compton edge of
// a line whose peak stands among the peaks found.
bool explainedPeak(const peaks::Peak& p, std::span<const peaks::Peak> found, double tolerance, double fwhm662);

// Fills res.screening.gain and withholds res's verdict on the first missing
// ground. Does nothing when no limits were formed.
void checkGrounds(const GroundsSpectrum& sample, const GroundsSpectrum& background, const GroundsOptions& options,
                  ActivityResult& res);

// The mass alone (an input): withholds when the mass lies outside the range.
void checkMass(const GroundsOptions& options, ActivityResult& res);

// Minutes since 1970-01-01 of a header's start date and time; nullopt when unset.
std::optional<std::int64_t> startedMinute(const SpectrumHeader& h);

}  // namespace xmca
