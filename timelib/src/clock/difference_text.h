// How far a clock moved, worded for the user: the elapsed calendar difference
// between two readings, from the earlier to the later, to the whole second.
// Plain values only (SYSTEMTIME as a record), so it is tested without the platform.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace zymdate {

// A reading of a clock, field by field as a SYSTEMTIME holds it. Fields out of
// their usual range are read arithmetically (month 13 is January of the next
// year, second 60 the next minute), so every reading names one instant.
struct ClockReading {
    int64_t year, month, day, hour, minute, second;
};

// Years and months as far as they go from the earlier reading without passing
// the later one (a day past the end of the target month falls back to its last
// day), then the rest as days, hours, minutes and seconds.
struct CalendarDifference {
    int64_t years, months, days, hours, minutes, seconds;
    bool operator==(const CalendarDifference&) const = default;
};

// The difference between two readings, whichever comes first.
CalendarDifference calendarDifference(const ClockReading& a, const ClockReading& b);

// " 1 Year  2 Seconds": each part is STR(n) and its unit word ("s" unless n is 1),
// every part after the first preceded by one more space. Empty when all are 0.
std::string differenceWording(const CalendarDifference& d);

inline constexpr const char* kClockMatchesText = "PC Clock Matches";

// The wording of the change from first to second (either order). The six date
// and time fields of second receive the decomposed difference; day of week and
// milliseconds stay. matchFlag is set to 1 when both name the same second.
std::string differenceText(const SYSTEMTIME& first, SYSTEMTIME& second, int32_t& matchFlag);

} // namespace zymdate
