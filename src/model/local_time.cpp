#include "model/local_time.h"

#include <cstdio>

namespace xmca {

namespace {

std::time_t utcOfFields(std::tm t) {
#ifdef _WIN32
    return _mkgmtime(&t);
#else
    return timegm(&t);
#endif
}

}  // namespace

std::optional<std::time_t> fromLocalFields(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;  // the zone's rule for that date decides
    const std::time_t r = std::mktime(&t);
    if (r == static_cast<std::time_t>(-1) || t.tm_mday != day) return std::nullopt;  // 31 February does not exist
    return r;
}

std::string isoLocal(std::time_t t) {
    std::tm lt{};
#ifdef _WIN32
    localtime_s(&lt, &t);
#else
    localtime_r(&t, &lt);
#endif
    // The offset is what the local fields read as UTC lie ahead of the instant.
    const long offset = static_cast<long>(utcOfFields(lt) - t);
    const long a = offset < 0 ? -offset : offset;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", lt.tm_year + 1900, lt.tm_mon + 1,
                  lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec, offset < 0 ? '-' : '+', (a / 3600) % 100, (a / 60) % 60);
    return buf;
}

std::string isoLocalOfUtc(const std::string& createdUtc) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (std::sscanf(createdUtc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 || z != 'Z')
        return {};
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return isoLocal(utcOfFields(t));
}

}  // namespace xmca
