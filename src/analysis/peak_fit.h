// The X-ray line fit: start values from the peak at the cursor (position, width,
// heights of two lines from the window area) and a weighted least-squares
// refinement of two Gaussian lines at a fixed energy ratio over a flat background.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "peak_width.h"

namespace xmca {

// Line energies in eV (Mn K-alpha1, K-alpha2; K-beta held beside them, unused).
constexpr double kLineE1 = 5899.0;
constexpr double kLineE2 = 5888.0;
constexpr double kLineKBeta = 6490.0;
constexpr float kGaussExponent = 2.773f;        // 4 ln 2
constexpr float kAreaToHeight = 0.9398496f;    // 1 / 1.064

struct FitStart {
    float position = 0.0f;    // p, the centroid (channels)
    float widthCh = 0.0f;     // w, full distance between the half-maximum crossings
    float scale = 0.0f;       // eV per channel, E1 / p
    float widthEv = 0.0f;     // w * scale
    float secondLine = 0.0f;  // E2 / scale (channels)
    int halfWindow = 0;       // k = trunc(1.5 w)
    int first = 0, last = 0;  // trunc(p) - k .. trunc(p) + k - 1
    std::int64_t area = 0;    // counts summed over that window
    float height1 = 0.0f;     // (2/3 area) * 0.9398496 / w
    float height2 = 0.0f;     // (1/3 area) * 0.9398496 / w
};

struct FitResult {
    bool ok = false;
    std::string failure;      // why there is no refined fit
    double position = 0.0;    // x0 of the E1 line (channels)
    double fwhm = 0.0;        // channels
    double height1 = 0.0, height2 = 0.0;
    double background = 0.0;  // flat background per channel
    double chi2PerDof = 0.0;
    int points = 0;           // channels fitted
    int first = 0, last = 0;  // the fit window
    int evaluations = 0;      // model evaluations the minimiser used
    double fwhmEv() const { return fwhm * kLineE1 / position; }
    // The fitted curve at channel x.
    double at(double x) const;
};

struct PeakFitOutcome {
    enum class Status { NoPeak, NoWidth, Started };
    Status status = Status::NoPeak;
    PeakWidth peak;
    FitStart start;
    FitResult fit;  // valid when status == Started and fit.ok
};

// Start values from a found peak. False when they cannot be formed: a centroid
// not above channel 0 or a width not above 0.
bool fitStartValues(const PeakWidth& peak, std::span<const std::int32_t> counts, int channels, FitStart& out);

// Refines position, FWHM, both heights (kept at or above 0) and a flat
// background, minimising
// sum((model - S)^2 / max(S, 1)) with Eigen's Levenberg-Marquardt minimiser over
// the channels trunc(second line) - k' .. trunc(p) + k' - 1 inside the spectrum,
// k' = max(k, 4): the start window widened to hold both lines.
FitResult refineFit(std::span<const std::int32_t> counts, int channels, const FitStart& start);

// The whole command: the peak at the cursor, start values and the refinement.
PeakFitOutcome fitPeakAtCursor(std::span<const std::int32_t> counts, int channels, int cursor, int lo, int hi);

}  // namespace xmca
