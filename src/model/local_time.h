// Times as a reviewer reads them: local time with its UTC offset, one zone
// throughout ("2026-04-12T09:30:00+09:00"). Spectrum headers hold the local time
// of the acquisition start without a zone; the register holds UTC.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace xmca {

// The instant of a local wall-clock time on this machine (none when out of range
// or not a date of the calendar).
std::optional<std::time_t> fromLocalFields(int year, int month, int day, int hour, int minute, int second);

// The instant as local time with its offset, "YYYY-MM-DDTHH:MM:SS+HH:MM".
std::string isoLocal(std::time_t t);

// A register time "YYYY-MM-DDTHH:MM:SSZ" as isoLocal (empty when unreadable).
std::string isoLocalOfUtc(const std::string& createdUtc);

}  // namespace xmca
