// A register record as JSON: the record's fields under the register's names, the
// figures under the names of `activity`'s "screening" key.
#pragma once

#include <string>

#include "register/register.h"

namespace mcatool {

std::string recordJson(const xmca::reg::MeasurementRecord& r);

// "--register PATH" from args (removed from them), else the settings' register,
// else the default location.
std::string registerLocation(std::vector<std::string>& args, bool& bad);

// "YYYY-MM-DD" naming a day of the Gregorian calendar (2026-02-29 and 2026-13-45 do not).
bool isCalendarDate(const std::string& d);

}  // namespace mcatool
