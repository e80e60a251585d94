// Helpers for zymdate's tests: calendar facts computed independently of the
// code under test, and fixed clocks for the clock seams.
#pragma once

#include "tw/user_locale_setting.h"

#include "clock/pc_clock_seam.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
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

// Milliseconds since 1 January 1970 of a record, and the record of such a count
// (with its day of the week): time arithmetic done without the platform.
inline int64_t millisecondsSince1970(const SYSTEMTIME& t) {
    return ((daysFromCivil(t.wYear, t.wMonth, t.wDay) * 24 + t.wHour) * 60 + t.wMinute) * 60000 +
           t.wSecond * 1000 + t.wMilliseconds;
}
inline SYSTEMTIME systemTimeFromMilliseconds(int64_t ms) {
    const int64_t perDay = 86'400'000;
    const int64_t days = ms >= 0 ? ms / perDay : -((-ms + perDay - 1) / perDay);
    const int64_t msOfDay = ms - days * perDay;
    const CivilDate c = civilFromDays(days);
    return civilTime(
        static_cast<int>(c.year), c.month, c.day, static_cast<unsigned>(msOfDay / 3'600'000),
        static_cast<unsigned>(msOfDay / 60'000 % 60), static_cast<unsigned>(msOfDay / 1000 % 60),
        static_cast<unsigned>(msOfDay % 1000));
}

inline bool sameRecord(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
           a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
           a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

inline std::string describe(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u (dow %u) %02u:%02u:%02u.%03u", t.wYear,
                  t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// Tests that call the real SetSystemTime run only under Wine, which refuses to
// move the host clock; on a real Windows PC they could move it.
inline bool runningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
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

inline PcClockSeam withFixedClock() {
    PcClockSeam s = PcClockSeam::real();
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
    tw::ScopedSeam<PcClockSeam> seams_;
};

using tw::testing::UserLocaleSetting;

} // namespace zymdate::test
