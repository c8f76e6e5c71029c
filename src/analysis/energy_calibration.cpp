#include "energy_calibration.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace xmca {

std::optional<float> parseCalibrationNumber(const std::string& text) {
    std::size_t a = 0, b = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (a < b && blank(text[a])) ++a;
    while (b > a && blank(text[b - 1])) --b;
    if (a < b && text[a] == '+') {
        ++a;
        if (a < b && text[a] == '-') return std::nullopt;
    }
    if (a == b) return std::nullopt;
    double v = 0.0;
    const char* first = text.data() + a;
    const char* last = text.data() + b;
    const auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last) return std::nullopt;
    const float f = static_cast<float>(v);
    // "inf", "nan" and values past the float range are no calibration figures.
    if (!std::isfinite(v) || !std::isfinite(f)) return std::nullopt;
    return f;
}

CalibrationOutcome twoPointCalibration(const CalibrationTexts& t) {
    CalibrationOutcome out;
    const auto l = parseCalibrationNumber(t.lowCh);
    if (!l) return out.message = kCalibLowChError, out;
    const auto h = parseCalibrationNumber(t.highCh);
    if (!h) return out.message = kCalibHighChError, out;
    const auto el = parseCalibrationNumber(t.lowEng);
    if (!el) return out.message = kCalibLowEngError, out;
    const auto eh = parseCalibrationNumber(t.highEng);
    if (!eh) return out.message = kCalibHighEngError, out;

    const float dCh = *h - *l;
    if (dCh == 0.0f) return out.message = kCalibSameChError, out;
    const float gain = (*eh - *el) / dCh;
    const float offset = *eh - gain * *h;
    // A zero gain maps every channel to one energy (and is read back from a file
    // as "not calibrated"); an overflowing one is no scale at all.
    if (!std::isfinite(gain) || !std::isfinite(offset) || gain == 0.0f) return out.message = kCalibGainError, out;

    out.ok = true;
    out.lowCh = *l;
    out.highCh = *h;
    out.lowEng = *el;
    out.highEng = *eh;
    out.gain = gain;
    out.offset = offset;
    return out;
}

std::string lowChEditMessage(const std::string& text) {
    return parseCalibrationNumber(text) ? std::string() : std::string("Error ! EngCalib LowCh");
}

std::string highChEditMessage(const std::string& text) {
    return parseCalibrationNumber(text) ? std::string() : std::string("Error ! EngCalib HiCh");
}

std::string referenceChannelText(float keptPeak, int cursor) {
    const double rounded = std::trunc(static_cast<double>(keptPeak) + 0.5);
    if (std::isfinite(rounded) && rounded == static_cast<double>(cursor)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%8.2f", static_cast<double>(keptPeak));
        return buf;
    }
    return std::to_string(cursor);
}

}  // namespace xmca
