// The result record of the last "Bq Calic" or "Re Calic": window sums, counting
// times and activities, written only by the computation and read by the plot's
// activity box and window-sum rows, the batch tool and the printed page, so that
// all of them show the same figures.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <optional>

#include "analysis/activity_calc.h"
#include "analysis/char_limits.h"

namespace xmca {

// One analysis window as the computation summed it.
struct ActivityWindow {
    int roi = 0;              // ROI entry (2, 3 or 1)
    const char* label = "";   // "Cs-All", "Cs-134", "K-40"
    std::int32_t start = 0;
    std::int32_t end = 0;
    std::int32_t gross = 0;   // trunc of the sample sum (memory 1)
    std::int32_t net = 0;     // the exact net rounded to the nearest count
    double background = 0.0;  // background sum before time scaling (memory 2 after smoothing)
    // Sample sum less f x background sum (f = T1 / T2), less the baseline when
    // "Re Calic" took one off: what every figure is formed from.
    double netExact = 0.0;
};

// Index of each window in ActivityResult::windows (the order they are summed in).
enum ActivityWindowIndex { kWinCsAll = 0, kWinCs134 = 1, kWinK40 = 2 };
// Index of each row in ActivityResult::activity (the order the box shows them).
enum ActivityRowIndex { kRowCsAll = 0, kRowCs134 = 1, kRowCs137 = 2, kRowK40 = 3 };
inline constexpr const char* kActivityRowLabels[4] = {"Cs-All", "Cs-134", "Cs-137", "K-40"};

// Screening settings of the activity page (Bq/kg).
struct ScreeningSettings {
    double level = 50.0;       // screening level on Cs-All
    double lowerLimit = 25.0;  // the lower limit of measurement required
    int backgroundMaxAgeDays = 7;  // a background older than this withholds the verdict
};

// Where the K-40 and Cs-137 peaks stand against their lines (channels of the
// spectrum compressed 2:1). A line whose peak is not significant is not judged.
struct GainCheck {
    bool ok = true;
    std::optional<double> k40Channel;        // K-40 centroid in the background
    std::optional<double> cs137Channel;      // Cs-137 centroid in the net spectrum, when significant
    std::optional<double> sampleK40Channel;  // the sample's own K-40 in the net spectrum, when significant
    std::string backgroundK40 = "not judged";  // "ok", "off", "not found"
    std::string sampleK40 = "not judged";      // "ok", "off", "not judged"
    std::string cs137 = "not judged";          // "ok", "off", "not judged"
    std::optional<double> unexplainedKeV;      // the most significant net peak no method line explains
    std::optional<double> backgroundCaesium;   // Bq/kg the background's own 662 keV peak stands for
    std::string warning;                     // "Check gain: ..." or empty
};

// Characteristic limits and the verdict on Cs-All, formed with the figures below.
struct ScreeningResult {
    bool valid = false;  // false: no background sums or times to form them from
    double level = 50.0;
    double lowerLimit = 25.0;
    double k = limits::kCoverage;
    limits::WindowLimits csTotal;
    limits::WindowLimits cs134;
    limits::Verdict verdict = limits::Verdict::BelowLevel;
    std::optional<double> countTimeNeeded;  // seconds, for "Lower limit not met"
    GainCheck gain;
    // Why no verdict is given ("windows need 2048 channels", "check gain", ...);
    // empty when the verdict stands. The figures above are shown either way.
    std::string withheld;
    int withheldRank = 0;  // ReasonRank of the reason given
};

// A method as a result names it.
struct MethodRef {
    std::string name = "factory";
    int version = 1;
    std::string calibratedUtc;  // empty for the factory method
    bool cs134Assumed = false;
    // Set when the figures were decay-corrected back to the sampling date ("YYYY-MM-DD").
    std::string decayCorrectedTo;
};

struct ActivityResult {
    bool valid = false;                  // figures below belong to a finished computation
    bool baseline = false;               // "Re Calic" subtracted the trapezoid baseline
    bool haveBackground = false;         // background sums and time are known (a "Bq Calic" ran)
    std::int32_t sampleChannels = 0;     // channel count of the sample as read
    std::int32_t sampleRealTime = 0;     // 0.1 s, memory 1's header copy
    std::int32_t backgroundRealTime = 0; // 0.1 s, memory 2's header copy as read
    float countingTime = 0.0f;           // T in seconds (sample real time x 0.1)
    std::array<ActivityWindow, 3> windows{};
    std::array<activity::Figure, 4> activity{};
    ScreeningResult screening;
    // The spectra the figures were computed from: file names as read and the
    // SHA-256 (hex) of each file's contents (empty when not from a file).
    std::string sampleName, sampleSha256;
    std::string backgroundName, backgroundSha256;
    // Fingerprint of the working spectrum the figures were computed on (see
    // workingSpectrumKey): they are shown beside that spectrum only.
    std::uint64_t spectrumKey = 0;
    // The method the figures were formed with: "factory" (the fixed factors, the
    // computation above) or a laboratory's calibrated method and its version.
    MethodRef method;
};

}  // namespace xmca
