// The screening figures of the result record: characteristic limits of the Cs-All
// and Cs-134 windows, the verdict on Cs-All against the screening level and the
// required lower limit, the gain check, and the text lines that show them.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/measurement_state.h"

namespace xmca {

// Prefix of a withheld verdict.
inline constexpr const char* kNoVerdict = "No verdict - ";
// Reason given after "Re Calic" took a trapezoid baseline off: the limits are formed
// for the net count without it, so they do not hold for these figures.
inline constexpr const char* kBaselineReason = "Re Calic baseline subtracted";

// The method the figures were formed with, as screen and paper name it.
std::string methodText(const ActivityResult& res);

// Forms res.screening from the record's sums and times and the settings. The
// Cs-137 peak is looked for in net (the net spectrum, n channels).
void computeScreening(ActivityResult& res, const ScreeningSettings& settings, std::span<const std::int32_t> net,
                      int n);

// New screening level and lower limit: the verdict and the time needed are formed
// again from the limits already in the record.
void updateVerdict(ActivityResult& res, const ScreeningSettings& settings);

// Withholds the verdict: the first reason given stays (later ones are not
// recorded), the count time needed is cleared; the figures stay as they are.
void withholdVerdict(ActivityResult& res, const std::string& reason);
// The same for the check-source QC lock-out, whose reason is shown before any
// other (a failed gain check is then one more symptom of the drift QC caught).
void withholdVerdictForQc(ActivityResult& res, const std::string& reason);

// The verdict as the JSON, the register and the printed page give it (English):
// "No verdict - <reason>" when withheld (or when no limits could be formed),
// else the verdict text.
std::string verdictText(const ActivityResult& res);

// Colour of a verdict (0x00BBGGRR): green below, red above, orange when the lower
// limit is not met.
TColor verdictColour(limits::Verdict v);
// The same for a screening record: grey when the verdict is withheld.
TColor verdictColour(const ScreeningResult& sc);

// "12.3 s" style count time, or "-" when none can meet the limit.
std::string countTimeText(const std::optional<double>& seconds);

// "Sample s.dat (SHA-256 0123456789ab), background b.dat (SHA-256 ...)".
std::string inputsText(const ActivityResult& res);

// One activity figure with its counting standard deviation, labelled "sd" (the
// plot's box figure), never to be taken for the standard uncertainty u.
std::string figureText(const char* label, const activity::Figure& f);

// The lines of the printed page: the inputs and the method; Cs-All and Cs-134 with
// u(k=1), decision threshold, detection limit and "< DL" (with "sd" figures when no
// limits could be formed); Cs-137 and K-40 with "sd"; the lower limit of
// measurement and the gain check; the verdict (with the time needed when the
// lower limit is not met), or "No verdict - <reason>". Empty without a finished
// computation.
std::vector<std::string> screeningLines(const ActivityResult& res);

}  // namespace xmca
