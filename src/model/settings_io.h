// Number parsing and formatting for the setup dialogs, independent of the C
// locale (a Qt program runs under the operator's locale, where "%f" and strtod
// may use a decimal comma). A text converts only when the whole of it, apart
// from surrounding blanks, is one number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace xmca::settings {

// A finite real number: optional sign, digits with an optional '.' fraction and
// an optional exponent. Blanks around it are allowed.
std::optional<double> parseReal(std::string_view text);

// A decimal integer within the int32 range, optional sign, blanks around it.
std::optional<std::int32_t> parseInt(std::string_view text);

// "%*.*f" with a '.' decimal point whatever the locale: v rounded to `decimals`
// places, right-aligned in `width` characters.
std::string formatFixed(double v, int decimals, int width = 0);

// Preset real time in 0.1 s units from a text in seconds: trunc(v * 10 + 0.001).
// Fails for text that does not convert and for a value outside 0 .. INT32_MAX.
std::optional<std::int32_t> presetTenthsFromSeconds(std::string_view text);

// Dead time per event in microseconds: a real number from 0 to kMaxDeadTimeUs.
// Scintillation analysers need a few microseconds per event; 100 us is far above
// any of them and keeps every time and rate the poll tick derives in range.
inline constexpr double kMaxDeadTimeUs = 100.0;
std::optional<float> deadTimeFromText(std::string_view text);

// The texts the MCA setup shows for its record.
std::string presetSecondsText(std::int32_t tenths);  // "%9.1f" of tenths * 0.1
std::string deadTimeText(float microseconds);        // "%9.1f"

}  // namespace xmca::settings
