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

// The lines an operator reads: one per window (value, +/-, decision threshold,
// detection limit, "< DL"), the lower limit of measurement, the verdict (with the
// time needed when the lower limit is not met) and the gain check. Empty when no
// screening could be formed.
std::vector<std::string> screeningLines(const ActivityResult& res);

}  // namespace xmca
