#include "analysis/nuclide_data.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace xmca::nuclide {

namespace {

constexpr NuclideData kTable[kNuclideCount] = {
    {"Cs-137", kCs137HalfLifeYears},
    {"Cs-134", kCs134HalfLifeYears},
    {"K-40", std::nullopt},
};

bool digits(const std::string& s, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace

const NuclideData& data(Nuclide n) { return kTable[static_cast<int>(n) % kNuclideCount]; }

double decayFactor(Nuclide n, double days) {
    const auto& half = data(n).halfLifeYears;
    if (!half || !std::isfinite(days)) return 1.0;
    return std::exp(-std::log(2.0) * days / (*half * kDaysPerYear));
}

std::optional<long> dayNumber(const std::string& d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-' || !digits(d, 0, 4) || !digits(d, 5, 2) || !digits(d, 8, 2))
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day ymd{year{std::atoi(d.substr(0, 4).c_str())},
                             month{static_cast<unsigned>(std::atoi(d.substr(5, 2).c_str()))},
                             day{static_cast<unsigned>(std::atoi(d.substr(8, 2).c_str()))}};
    if (!ymd.ok()) return std::nullopt;
    return static_cast<long>(sys_days(ymd).time_since_epoch().count());
}

std::optional<double> dayTime(const std::string& t) {
    const auto day = dayNumber(t.substr(0, std::min<std::size_t>(t.size(), 10)));
    if (!day) return std::nullopt;
    if (t.size() == 10) return static_cast<double>(*day);
    if (t.size() != 16 || t[10] != ' ' || t[13] != ':' || !digits(t, 11, 2) || !digits(t, 14, 2)) return std::nullopt;
    const int h = std::atoi(t.substr(11, 2).c_str()), m = std::atoi(t.substr(14, 2).c_str());
    if (h > 23 || m > 59) return std::nullopt;
    return static_cast<double>(*day) + (h * 60.0 + m) / 1440.0;
}

}  // namespace xmca::nuclide
