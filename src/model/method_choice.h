// The method in force for a screening: the laboratory's calibrated method (or the
// factory one) applied to the result record of "Bq Calic", the spectra counted as
// the method counts them, the mass range, and the optional decay correction back
// to the sampling date.
#pragma once

#include <optional>
#include <string>

#include "analysis/method.h"
#include "model/activity_result.h"
#include "model/measurement_state.h"

namespace xmca {

// Reason given when the sample's mass lies outside the method's accepted range.
inline constexpr const char* kMassOutsideRange = "mass outside the method's range";
// Reason given when the calibration's uncertainty leaves no detection limit.
inline constexpr const char* kNoDetectionLimit = "no detection limit with the method's uncertainty";

// The counting time a method uses: the live time, the real time when no live time
// is recorded (seconds; 0 when neither is).
double methodCountingTime(const SpectrumHeader& h);
// The window sums and counting time of a memory spectrum as read.
method::CountedSpectrum countedSpectrum(const MemorySpectrum& m);
// Days since 1970 of the header's start date and time; nullopt when it has none.
std::optional<double> spectrumStartDay(const SpectrumHeader& h);

struct MethodApplication {
    std::optional<double> massKg;     // as weighed; unset: the method's nominal mass
    std::string samplingDate;         // "YYYY-MM-DD"; empty: none
    bool decayToSampling = false;     // correct the figures back to the sampling date
    std::optional<double> measuredDay;  // the sample spectrum's start (days since 1970)
};

// Forms the record's activities, uncertainties, characteristic limits and verdict
// with the method from the spectra's window sums (a calibrated method, or the
// factory one when a decay correction is asked), and names the method in it. The
// verdict is withheld when the mass lies outside the method's range or no
// detection limit can be formed. Returns false when the figures could not be
// formed (they are then left as they were and the verdict withheld).
bool applyMethod(ActivityResult& res, const method::Method& m, const method::CountedSpectrum& sample,
                 const method::CountedSpectrum& background, const MethodApplication& how,
                 const ScreeningSettings& settings);

// "factory" or "NAME vN, calibrated YYYY-MM-DD" (and "Cs-134 response assumed").
std::string methodRefText(const MethodRef& m);

}  // namespace xmca
