// xsd:duration and xsd:dateTime in the forms the .dat header can hold.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "n42/n42_document.h"

namespace xmca::n42 {

namespace {

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int toInt(std::string_view s) {
    int v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::optional<std::int32_t> parseDurationTenths(std::string_view t) {
    if (t.empty() || t.front() == '-' || t.front() != 'P') return std::nullopt;
    t.remove_prefix(1);
    double seconds = 0;
    bool inTime = false, any = false, anyTime = false;
    // Designators must come in this order: Y M D T H M S.
    std::string_view order = "YMDHMS";
    std::size_t pos = 0;  // next allowed designator index
    while (!t.empty()) {
        if (t.front() == 'T') {
            if (inTime) return std::nullopt;
            inTime = true;
            pos = 3;
            t.remove_prefix(1);
            continue;
        }
        std::size_t n = 0;
        while (n < t.size() && ((t[n] >= '0' && t[n] <= '9') || t[n] == '.')) ++n;
        if (n == 0 || n == t.size()) return std::nullopt;
        const std::string_view num = t.substr(0, n);
        const char d = t[n];
        t.remove_prefix(n + 1);
        const std::size_t dot = num.find('.');
        if (dot != std::string_view::npos) {
            // Only seconds may have a fraction, with digits on both sides of it.
            if (d != 'S' || !allDigits(num.substr(0, dot)) || !allDigits(num.substr(dot + 1))) return std::nullopt;
        } else if (!allDigits(num)) {
            return std::nullopt;
        }
        std::size_t k = std::string_view::npos;
        if (!inTime && (d == 'Y' || d == 'M' || d == 'D')) k = order.find(d);
        if (inTime && (d == 'H' || d == 'M' || d == 'S')) k = order.find(d, 3);
        if (k == std::string_view::npos || k < pos) return std::nullopt;
        pos = k + 1;
        double v = 0;
        if (std::from_chars(num.data(), num.data() + num.size(), v).ec != std::errc()) return std::nullopt;
        switch (d) {
            case 'Y':
            case 'M':
                if (!inTime) {
                    // Years and months have no fixed length in seconds.
                    if (v != 0) return std::nullopt;
                    break;
                }
                seconds += v * 60;
                break;
            case 'D': seconds += v * 86400; break;
            case 'H': seconds += v * 3600; break;
            case 'S': seconds += v; break;
        }
        any = true;
        if (inTime) anyTime = true;
    }
    if (!any || (inTime && !anyTime)) return std::nullopt;
    const double tenths = std::floor(seconds * 10 + 0.5);
    if (!std::isfinite(tenths) || tenths > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(tenths);
}

std::string formatDurationTenths(std::int32_t tenths) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "PT%d.%dS", tenths / 10, tenths % 10);
    return buf;
}

bool isValidDateTime(const DateTime& d) {
    return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= daysInMonth(d.year, d.month) && d.hour >= 0 && d.hour <= 23 && d.minute >= 0 &&
           d.minute <= 59 && d.second >= 0 && d.second <= 59;
}

std::optional<DateTime> parseDateTime(std::string_view t) {
    // YYYY-MM-DDThh:mm:ss[.s+][Z|(+|-)hh:mm]
    if (t.size() < 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    const std::string_view parts[] = {t.substr(0, 4),  t.substr(5, 2),  t.substr(8, 2),
                                      t.substr(11, 2), t.substr(14, 2), t.substr(17, 2)};
    for (auto p : parts)
        if (!allDigits(p)) return std::nullopt;
    DateTime d{toInt(parts[0]), toInt(parts[1]), toInt(parts[2]),
               toInt(parts[3]), toInt(parts[4]), toInt(parts[5])};
    std::string_view rest = t.substr(19);
    if (!rest.empty() && rest.front() == '.') {
        std::size_t n = 1;
        while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
        if (n == 1) return std::nullopt;
        rest.remove_prefix(n);
    }
    if (rest == "Z") {
        rest = {};
    } else if (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':') {
        if (!allDigits(rest.substr(1, 2)) || !allDigits(rest.substr(4, 2))) return std::nullopt;
        if (toInt(rest.substr(1, 2)) > 14 || toInt(rest.substr(4, 2)) > 59) return std::nullopt;
        rest = {};
    }
    if (!rest.empty() || !isValidDateTime(d)) return std::nullopt;
    return d;
}

std::string formatDateTime(const DateTime& d) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                  d.second);
    return buf;
}

}  // namespace xmca::n42
