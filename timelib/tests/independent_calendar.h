// A calendar written apart from the library's, for checking it: proleptic
// Gregorian day counts (H. Hinnant's days_from_civil) and Sakamoto's weekday.
#pragma once

#include <cstdint>

namespace testcal {

// Days since 1970-01-01.
inline int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Julian day number of 1970-01-01, and the day the modified Julian days count from.
inline constexpr int64_t kJulianDayOf1970 = 2440588;
inline constexpr int64_t kModifiedJulianDayOf1970 = 40587;

inline int64_t julianDay(int64_t y, int64_t m, int64_t d) { return daysFromCivil(y, m, d) + kJulianDayOf1970; }
inline int64_t modifiedJulianDay(int64_t y, int64_t m, int64_t d) {
    return daysFromCivil(y, m, d) + kModifiedJulianDayOf1970;
}

// 0 = Sunday.
inline int weekday(int y, int m, int d) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    y -= m < 3;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

} // namespace testcal
