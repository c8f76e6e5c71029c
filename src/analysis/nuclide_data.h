// Nuclide data the activity figures depend on: half-lives, potassium's specific
// activity, the decay factor between two dates, and calendar-date arithmetic.
#pragma once

#include <optional>
#include <string>

namespace xmca::nuclide {

// The nuclides the figures are formed for, in the order of a method's response
// columns.
enum Nuclide { Cs137 = 0, Cs134 = 1, K40 = 2, kNuclideCount = 3 };

struct NuclideData {
    const char* name;                     // "Cs-137", "Cs-134", "K-40"
    std::optional<double> halfLifeYears;  // none: no decay over a laboratory's time scales
};

const NuclideData& data(Nuclide n);
// Cs-137 30.08 y, Cs-134 2.0652 y; K-40 (1.25e9 y) is taken as not decaying.
inline constexpr double kCs137HalfLifeYears = 30.08;
inline constexpr double kCs134HalfLifeYears = 2.0652;
inline constexpr double kDaysPerYear = 365.25;

// K-40 activity of potassium chloride, Bq per gram of KCl.
inline constexpr double kKclBqPerGram = 16.3;

// Fraction of the activity left after `days` (1 for a nuclide that does not
// decay; above 1 for negative days, i.e. back in time).
double decayFactor(Nuclide n, double days);

// Days from 1970-01-01 of a "YYYY-MM-DD" date (nullopt when it is no real date:
// 2026-02-30 is refused).
std::optional<long> dayNumber(const std::string& isoDate);
// Days (with the fraction of the day) from 1970-01-01 00:00 of "YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM".
std::optional<double> dayTime(const std::string& isoDateTime);

}  // namespace xmca::nuclide
