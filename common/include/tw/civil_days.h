// Proleptic Gregorian dates and day counts from 1 January 1970 (H. Hinnant's
// days_from_civil and civil_from_days): exact for any year a 64-bit day count
// holds far from overflow. No Win32 here.
#pragma once

#include <cstdint>

namespace tw {

// a / b rounded down, for b > 0.
constexpr int64_t floorDivide(int64_t a, int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// Days from 1970-01-01 to the date, month 1..12.
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = floorDivide(y, 400);
    const int64_t yoe = y - era * 400;                                   // 0..399
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1; // 0..365
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // 0..146096
    return era * 146097 + doe - 719468;
}

struct Civil {
    int64_t year, month, day; // month 1..12, day 1..31
};

constexpr Civil civilFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = floorDivide(z, 146097);
    const int64_t doe = z - era * 146097;                                      // 0..146096
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // 0..399
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // 0..365
    const int64_t mp = (5 * doy + 2) / 153;                                    // 0..11, from March
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2), m, doy - (153 * mp + 2) / 5 + 1};
}

static_assert(daysFromCivil(1970, 1, 1) == 0);
static_assert(daysFromCivil(2000, 3, 1) == 11017);
static_assert(civilFromDays(11017).month == 3 && civilFromDays(-1).year == 1969);

} // namespace tw
