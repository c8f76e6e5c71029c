#include "settings_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace xmca::settings {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Strips one leading '+' (from_chars takes only '-'); "+-1" stays invalid.
std::string_view dropPlus(std::string_view s) {
    if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
    return s;
}

}  // namespace

std::optional<double> parseReal(std::string_view text) {
    const std::string_view s = dropPlus(trim(text));
    if (s.empty()) return std::nullopt;
    // from_chars also reads "inf" and "nan"; a setting is never either.
    for (char c : s)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+'))
            return std::nullopt;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<std::int32_t> parseInt(std::string_view text) {
    const std::string_view s = dropPlus(trim(text));
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::string formatFixed(double v, int decimals, int width) {
    std::array<char, 400> buf{};  // room for the widest double in fixed notation
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return std::string(static_cast<std::size_t>(std::max(width, 1)), '*');
    std::string s(buf.data(), end);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    return s;
}

std::optional<std::int32_t> presetTenthsFromSeconds(std::string_view text) {
    const auto v = parseReal(text);
    if (!v) return std::nullopt;
    const double t = std::trunc(*v * 10.0 + 0.001);
    if (t < 0.0 || t > static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
    return static_cast<std::int32_t>(t);
}

std::optional<float> deadTimeFromText(std::string_view text) {
    const auto v = parseReal(text);
    if (!v || !(*v >= 0.0 && *v <= kMaxDeadTimeUs)) return std::nullopt;
    return static_cast<float>(*v);
}

std::string presetSecondsText(std::int32_t tenths) { return formatFixed(tenths * 0.1, 1, 9); }

std::string deadTimeText(float microseconds) { return formatFixed(microseconds, 1, 9); }

}  // namespace xmca::settings
