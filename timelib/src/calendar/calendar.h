// Calendar arithmetic on plain integers: packed MMDDYYYY dates, Julian day
// numbers, leap years, month lengths and the daylight-saving Sundays.
// Nothing here calls the platform; the locale-dependent texts live in
// calendar_locale.h.
#pragma once

#include <cstdint>
#include <string_view>

namespace zymdate {

// A packed date is the text "MMddyyyy" read as a number: month × 1 000 000 +
// day × 10 000 + year. The year has four digits; the month takes whatever
// is left above the day, so a 32-bit packed date carries months up to 4294.
struct CalendarDate {
    int32_t year;
    int32_t month;
    int32_t day;
};

// 1 January of year 1 and 31 December 9999: the days a packed date can name.
inline constexpr int32_t kFirstPackableDay = 1721424;
inline constexpr int32_t kLastPackableDay = 5373484;
// The modified Julian day counts from midnight of Julian day 2400000.5.
inline constexpr int32_t kModifiedJulianOffset = 2400001;

CalendarDate unpackDate(uint32_t packed);
uint32_t packDate(const CalendarDate& date);

// Julian day number of a date, Julian calendar before 15 October 1582 and
// Gregorian from then on. Month and day are not checked: any year, month and
// day of 0..65535 (which covers every packed date and every SYSTEMTIME) run
// through the same formulas without overflow.
int32_t julianDayJulianOrGregorian(int32_t year, int32_t month, int32_t day);

// The packed forms; 0 when the year digits are 0000.
int32_t calDateToJulian(uint32_t packed);
int32_t modifiedJulianDate(uint32_t packed);

// Inverse of calDateToJulian. Returns 0 outside kFirstPackableDay..
// kLastPackableDay: those days have no four-digit year.
uint32_t julianToCalDate(int32_t julianDay);

// Division rounded towards minus infinity, so that counts before an epoch
// fall on the right side of it.
constexpr int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The Gregorian rule, for every year (negative ones proleptically).
constexpr bool isLeapYear(int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Month lengths by the parity rule, which also answers for months outside
// 1..12 (0 and 13 have 30 days, 14 has 31).
constexpr int32_t daysInMonth(int64_t month, int64_t year) {
    if (month == 2)
        return isLeapYear(year) ? 29 : 28;
    if (month % 2 == 1)
        return month <= 7 ? 31 : 30;
    return month < 7 ? 30 : 31;
}

// Julian day number of a date in the Gregorian calendar for every year
// (the daylight-saving rules only ever meant Gregorian dates).
int32_t julianDayAlwaysGregorian(int32_t year, int32_t month, int32_t day);

// 0 = Monday .. 6 = Sunday, also for negative day numbers.
int32_t weekdayOfDay(int32_t julianDay);

// Julian day numbers of the daylight-saving Sundays of a Gregorian year.
int32_t firstSundayOfApril(int16_t year);
int32_t lastSundayOfMarch(int16_t year);
int32_t lastSundayOfOctober(int16_t year);

// The Gregorian date of a day number by pure integer arithmetic, right from
// day -32044 (1 March 4801 BC) up to the largest 32-bit day number; before
// that the truncating divisions give meaningless fields, always with a
// negative year. Never overflows.
CalendarDate gregorianDateOfDay(int32_t julianDay);

// "JAN".."DEC", or empty outside 1..12.
std::string_view monthAbbreviation(int32_t month);

// The day of the month named by an English long date such as
// "Sunday, April 02, 2000": the number in the last two characters of its
// second comma-separated field; 0 when there is none.
int32_t dayOfMonthFromLongDate(std::string_view longDate);

} // namespace zymdate
