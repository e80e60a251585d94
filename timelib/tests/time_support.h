// Helpers for zymdate's tests: calendar facts computed independently of the
// code under test, and fixed clocks for the clock seams.
#pragma once

#include "seams.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace zymdate::test {

// Days from 1 January 1970 to a proleptic Gregorian date (H. Hinnant's days_from_civil).
constexpr int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// The date of a day count from 1 January 1970 (civil_from_days).
struct CivilDate {
    int64_t year;
    unsigned month, day;
};
constexpr CivilDate civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

// 0 = Sunday; 1 January 1970 was a Thursday.
constexpr unsigned weekdayFromDays(int64_t z) {
    return static_cast<unsigned>(z >= -4 ? (z + 4) % 7 : (z + 5) % 7 + 6);
}

// A record with the right day of the week.
inline SYSTEMTIME civilTime(int y, unsigned mo, unsigned d, unsigned h = 0, unsigned mi = 0,
                            unsigned s = 0, unsigned ms = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDayOfWeek = static_cast<WORD>(weekdayFromDays(daysFromCivil(y, mo, d)));
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

inline constexpr int64_t kVariantEpochDays = daysFromCivil(1899, 12, 30);

inline std::string weekdayName(unsigned weekday) {
    static const char* const names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    return names[weekday % 7];
}

inline std::string monthName(unsigned month) {
    static const char* const names[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
    return names[(month - 1) % 12];
}

// Clock seams that read fixed records, set through FixedClock.
inline SYSTEMTIME gFixedUtc{};
inline SYSTEMTIME gFixedLocal{};
inline void WINAPI fixedSystemTime(LPSYSTEMTIME st) {
    *st = gFixedUtc;
}
inline void WINAPI fixedLocalTime(LPSYSTEMTIME st) {
    *st = gFixedLocal;
}

inline Seams withFixedClock() {
    Seams s = realSeams();
    s.getSystemTime = fixedSystemTime;
    s.getLocalTime = fixedLocalTime;
    return s;
}

// The white-box code reads utc from GetSystemTime and local from GetLocalTime
// while this lives.
class FixedClock {
  public:
    FixedClock(const SYSTEMTIME& utc, const SYSTEMTIME& local) : seams_(withFixedClock()) {
        gFixedUtc = utc;
        gFixedLocal = local;
    }

  private:
    ScopedSeams seams_;
};

} // namespace zymdate::test
