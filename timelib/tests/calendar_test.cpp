// Calendar: day numbers both ways, leap years, month lengths, the
// daylight-saving Sundays and the locale texts.
#include <gtest/gtest.h>

#include "calendar/calendar.h"
#include "calendar/calendar_locale.h"
#include "time_support.h"
#include "zymdate.h"

#include "tw/bstr.h"

#include <cstdint>
#include <limits>
#include <string>

namespace {

using tw::takeBstr;

uint32_t packed(int year, int month, int day) {
    return static_cast<uint32_t>(month) * 1000000u + static_cast<uint32_t>(day) * 10000u +
           static_cast<uint32_t>(year);
}

// --- an independent calendar for the checks below -------------------------

using zymdate::test::daysFromCivil;

// Julian day number of 1 January 1970.
constexpr int64_t kJulianDayOf1970 = 2440588;

int64_t gregorianJulianDay(int y, int m, int d) {
    return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) + kJulianDayOf1970;
}

// Sakamoto's weekday, 0 = Sunday: a second independent opinion on weekdays.
int sakamotoWeekday(int y, int m, int d) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    y -= m < 3;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

struct Ymd {
    int y, m, d;
};

// Calendar in force for a date: Julian up to 4 October 1582, Gregorian from
// 15 October 1582.
bool usesGregorian(const Ymd& t) {
    return t.y > 1582 || (t.y == 1582 && (t.m > 10 || (t.m == 10 && t.d >= 15)));
}

int monthLength(const Ymd& t) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.m != 2)
        return lengths[t.m - 1];
    const bool leap =
        usesGregorian(t) ? (t.y % 4 == 0 && (t.y % 100 != 0 || t.y % 400 == 0)) : t.y % 4 == 0;
    return leap ? 29 : 28;
}

Ymd nextDay(Ymd t) {
    if (t.y == 1582 && t.m == 10 && t.d == 4)
        return {1582, 10, 15};
    if (++t.d > monthLength(t)) {
        t.d = 1;
        if (++t.m > 12) {
            t.m = 1;
            ++t.y;
        }
    }
    return t;
}

// CALDATETOJULIAN computed with exact rationals: 30.6001f is
// 16043265 / 2^19 and 365.25 is 1461 / 4. Only for years >= 1, where every
// product is non-negative.
int64_t referenceCalDateToJulian(int64_t year, int64_t month, int64_t day) {
    const int64_t jy = month > 2 ? year : year - 1;
    const int64_t jm = month > 2 ? month + 1 : month + 13;
    int64_t jul = jm * 16043265 / 524288 + jy * 1461 / 4 + day + 1720995;
    if (day + 31 * (month + 12 * year) >= 588829) {
        const int64_t a = jy / 100;
        jul += 2 - a + a / 4;
    }
    return jul;
}

// --- day numbers -------------------------------------------------------------

TEST(CalendarDayNumbers, KnownDatesBothWays) {
    struct Case {
        uint32_t packedDate;
        int32_t julianDay;
    } const cases[] = {
        {1012000, 2451545},                      // 1 January 2000
        {10151582, 2299161},                     // first Gregorian day
        {10041582, 2299160},                     // last Julian day, the day before
        {3011900, 2415080},                      // 1900 is no Gregorian leap year...
        {2281900, 2415079},                      // ...so 28 February is the day before 1 March
        {3012100, 2488129},  {1010001, 1721424}, // 1 January of year 1
        {12319999, 5373484},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CALDATETOJULIAN(c.packedDate), c.julianDay) << c.packedDate;
        EXPECT_EQ(JULIANTOCALDATE(c.julianDay), c.packedDate) << c.julianDay;
    }
}

TEST(CalendarDayNumbers, ModifiedJulianDaysAreConsecutive) {
    EXPECT_EQ(MODIFIEDJULIANDATE(11171858), 0);
    EXPECT_EQ(MODIFIEDJULIANDATE(1012000), 51544);
    EXPECT_EQ(MODIFIEDJULIANDATE(1022000), 51545);
    EXPECT_EQ(MODIFIEDJULIANDATE(12062026), 61380);
    EXPECT_EQ(MODIFIEDJULIANDATE(2152002), 52320); // 15 February 2002
}

TEST(CalendarDayNumbers, YearZeroHasNoDayNumber) {
    for (uint32_t p : {1010000u, 12310000u, 0u, 4294960000u}) {
        EXPECT_EQ(CALDATETOJULIAN(p), 0) << p;
        EXPECT_EQ(MODIFIEDJULIANDATE(p), 0) << p;
    }
}

// Every day a packed date can name, walked with an independent calendar:
// each day number gives the expected date, and that date gives it back.
TEST(CalendarDayNumbers, SweepEveryDayOfYears1To9999) {
    Ymd expected{1, 1, 1};
    int mismatches = 0;
    for (int32_t j = zymdate::kFirstPackableDay; j <= zymdate::kLastPackableDay; ++j) {
        const uint32_t want = packed(expected.y, expected.m, expected.d);
        const uint32_t got = zymdate::julianToCalDate(j);
        const int32_t back = zymdate::calDateToJulian(want);
        const bool gregorianAgrees =
            !usesGregorian(expected) ||
            zymdate::julianDayAlwaysGregorian(expected.y, expected.m, expected.d) == j;
        if ((got != want || back != j || !gregorianAgrees) && ++mismatches <= 10)
            ADD_FAILURE() << "day " << j << ": expected " << want << ", julianToCalDate " << got
                          << ", calDateToJulian " << back;
        expected = nextDay(expected);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(expected.y, 10000) << "the walk must end right after 31 December 9999";
}

TEST(CalendarDayNumbers, NoDateOutsideYears1To9999) {
    for (int32_t j : {zymdate::kFirstPackableDay - 1, 0, -1, std::numeric_limits<int32_t>::min(),
                      zymdate::kLastPackableDay + 1, std::numeric_limits<int32_t>::max()})
        EXPECT_EQ(JULIANTOCALDATE(j), 0u) << j;
}

// Unchecked month and day digits run through the formula; the largest
// 32-bit packed dates (month 4294) must neither overflow nor lose precision.
TEST(CalendarDayNumbers, OutOfRangeFieldsFollowTheFormula) {
    const uint32_t samples[] = {0xFFFFFFFFu, 4294009999u, 4294959999u, 13019999u,
                                99999999u,   320001u,     100001u,     1u};
    for (uint32_t p : samples) {
        const int64_t want = referenceCalDateToJulian(p % 10000, p / 1000000, (p / 10000) % 100);
        EXPECT_EQ(CALDATETOJULIAN(p), want) << p;
    }
    for (uint32_t month = 0; month <= 4294; month += 13)
        for (uint32_t day : {0u, 1u, 31u, 99u})
            for (uint32_t year : {1u, 1582u, 1583u, 9999u}) {
                const uint32_t p = month * 1000000u + day * 10000u + year;
                ASSERT_EQ(zymdate::calDateToJulian(p), referenceCalDateToJulian(year, month, day))
                    << p;
            }
    // Month 13 of a year lands on month 1 of the next.
    EXPECT_EQ(CALDATETOJULIAN(13012000), CALDATETOJULIAN(1012001));
}

// The integer conversion behind the long date, for every Gregorian day
// number of the packable range and at the 32-bit extremes.
TEST(CalendarDayNumbers, GregorianDateOfDayMatchesCivilCalendar) {
    for (int32_t j = 2299161; j <= zymdate::kLastPackableDay; j += 7) {
        const zymdate::CalendarDate d = zymdate::gregorianDateOfDay(j);
        ASSERT_EQ(gregorianJulianDay(d.year, d.month, d.day), j) << j;
        ASSERT_GE(d.day, 1);
        ASSERT_LE(d.day, 31);
    }
    for (int32_t j : {-32044, 0, std::numeric_limits<int32_t>::max()}) {
        const zymdate::CalendarDate d = zymdate::gregorianDateOfDay(j);
        EXPECT_EQ(gregorianJulianDay(d.year, d.month, d.day), j) << j;
    }
    // Earlier days have no meaningful fields, but always a negative year, by
    // which the long date refuses them.
    for (int32_t j : {-32045, -1000000, std::numeric_limits<int32_t>::min()})
        EXPECT_LT(zymdate::gregorianDateOfDay(j).year, 0) << j;
}

// --- leap years and month lengths -----------------------------------------

TEST(CalendarLeapYears, CenturyRule) {
    struct Case {
        uint32_t year;
        int32_t leap;
    } const cases[] = {{2000, 1}, {1900, 0}, {2100, 0}, {2024, 1}, {2023, 0},
                       {400, 1},  {0, 1},    {1, 0},    {4, 1},    {4294967295u, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ISLEAPYEAR(c.year), c.leap) << c.year;
}

TEST(CalendarMonthLengths, Table) {
    const int32_t common[] = {30, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 30, 31};
    for (uint32_t month = 0; month <= 14; ++month) {
        const int32_t want = month == 2 ? 28 : common[month];
        EXPECT_EQ(DAYSINMONTH(month, 2023), want) << "month " << month;
    }
    EXPECT_EQ(DAYSINMONTH(2, 1900), 28);
    EXPECT_EQ(DAYSINMONTH(2, 2000), 29);
    EXPECT_EQ(DAYSINMONTH(2, 2024), 29);
    EXPECT_EQ(DAYSINMONTH(2, 2100), 28);
    EXPECT_EQ(DAYSINMONTH(15, 2023), 30);
    EXPECT_EQ(DAYSINMONTH(16, 2023), 31);
}

// Month lengths and the leap rule agree with the distance between first days
// of consecutive months in every Gregorian year.
TEST(CalendarMonthLengths, AgreeWithDayNumbersEveryYear) {
    for (int year = 1; year <= 9999; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int64_t length =
                gregorianJulianDay(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) -
                gregorianJulianDay(year, month, 1);
            ASSERT_EQ(zymdate::daysInMonth(month, year), length) << year << "-" << month;
        }
        ASSERT_EQ(zymdate::isLeapYear(year), zymdate::daysInMonth(2, year) == 29) << year;
    }
}

// --- daylight-saving Sundays -------------------------------------------------

int firstSundayDay(int year, int month) {
    for (int d = 1;; ++d)
        if (sakamotoWeekday(year, month, d) == 0)
            return d;
}

int lastSundayDay(int year, int month, int length) {
    for (int d = length;; --d)
        if (sakamotoWeekday(year, month, d) == 0)
            return d;
}

TEST(CalendarSundays, StatedYears) {
    EXPECT_EQ(FIRSTSUNDAYOFAPRIL(2001), 2452001);  // 1 April 2001, itself a Sunday
    EXPECT_EQ(LASTSUNDAYOFMARCH(2024), 2460401);   // 31 March 2024, itself a Sunday
    EXPECT_EQ(LASTSUNDAYOFOCTOBER(2026), 2461339); // 25 October 2026
}

TEST(CalendarSundays, EveryYear1900To2100AgainstIndependentWeekdays) {
    for (int16_t year = 1900; year <= 2100; ++year) {
        const int april = firstSundayDay(year, 4);
        const int march = lastSundayDay(year, 3, 31);
        const int october = lastSundayDay(year, 10, 31);
        EXPECT_EQ(FIRSTSUNDAYOFAPRIL(year), gregorianJulianDay(year, 4, april)) << year;
        EXPECT_EQ(LASTSUNDAYOFMARCH(year), gregorianJulianDay(year, 3, march)) << year;
        EXPECT_EQ(LASTSUNDAYOFOCTOBER(year), gregorianJulianDay(year, 10, october)) << year;
        int16_t y = year;
        EXPECT_EQ(DATEOFFIRSTSUNDAYOFAPRIL(&y), april) << year;
        EXPECT_EQ(DATEOFLASTSUNDAYOFOCTOBER(&y), october) << year;
    }
}

TEST(CalendarSundays, StatedDaysOfMonth) {
    int16_t y2026 = 2026, y2000 = 2000;
    EXPECT_EQ(DATEOFFIRSTSUNDAYOFAPRIL(&y2026), 5);
    EXPECT_EQ(DATEOFLASTSUNDAYOFOCTOBER(&y2026), 25);
    EXPECT_EQ(DATEOFFIRSTSUNDAYOFAPRIL(&y2000), 2);
    EXPECT_EQ(DATEOFFIRSTSUNDAYOFAPRIL(nullptr), 0);
}

// Years far before 1 AD give negative day numbers; the searches must still
// stop at a Sunday within the week instead of running away.
TEST(CalendarSundays, EndForEvery16BitYear) {
    for (int16_t year : {std::numeric_limits<int16_t>::min(), int16_t{-4713}, int16_t{-1},
                         int16_t{0}, std::numeric_limits<int16_t>::max()}) {
        const int32_t april = zymdate::firstSundayOfApril(year);
        const int32_t march = zymdate::lastSundayOfMarch(year);
        const int32_t october = zymdate::lastSundayOfOctober(year);
        const int32_t march31 = zymdate::julianDayAlwaysGregorian(year, 3, 31);
        const int32_t october31 = zymdate::julianDayAlwaysGregorian(year, 10, 31);
        EXPECT_EQ(zymdate::weekdayOfDay(april), 6) << year;
        EXPECT_EQ(zymdate::weekdayOfDay(march), 6) << year;
        EXPECT_EQ(zymdate::weekdayOfDay(october), 6) << year;
        EXPECT_TRUE(april > march31 && april <= march31 + 7) << year;
        EXPECT_TRUE(march <= march31 && march > march31 - 7) << year;
        EXPECT_TRUE(october <= october31 && october > october31 - 7) << year;
    }
}

// --- texts ---------------------------------------------------------------------

TEST(CalendarTexts, MonthNames) {
    const char* const names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int32_t m = 1; m <= 12; ++m)
        EXPECT_EQ(takeBstr(GETMONTHNAME(m)), names[m - 1]);
    for (int32_t m :
         {0, 13, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
        EXPECT_EQ(takeBstr(GETMONTHNAME(m)), "") << m;
}

TEST(CalendarTexts, LongDateIsEnglishAndGregorian) {
    const std::string text = takeBstr(JULTODATE(2451637)); // 2 April 2000
    EXPECT_EQ(text.rfind("Sunday, April ", 0), 0u) << text;
    EXPECT_NE(text.find("2, 2000"), std::string::npos) << text;
    // 10 October 1582 is a Julian-calendar gap day but a plain Gregorian date
    // here: the platform refuses years before 1601 and the text is empty.
    EXPECT_EQ(takeBstr(JULTODATE(2299156)), "");
    EXPECT_EQ(takeBstr(JULTODATE(std::numeric_limits<int32_t>::max())), "");
    EXPECT_EQ(takeBstr(JULTODATE(std::numeric_limits<int32_t>::min())), "");
}

// Weekday, month, day and year of the long date against the independent
// calendar, over the formatter's whole range (the day with or without a
// leading zero, as the English locale data has it).
TEST(CalendarTexts, LongDateNamesTheRightDayAcrossTheRange) {
    using namespace zymdate::test;
    const int32_t first = static_cast<int32_t>(gregorianJulianDay(1601, 1, 1));
    const int32_t last = static_cast<int32_t>(gregorianJulianDay(9999, 12, 31));
    int mismatches = 0;
    for (int32_t j = first; j <= last; j += 97) {
        const CivilDate c = civilFromDays(j - kJulianDayOf1970);
        const std::string head =
            weekdayName(weekdayFromDays(j - kJulianDayOf1970)) + ", " + monthName(c.month) + " ";
        const std::string tail = std::to_string(c.day) + ", " + std::to_string(c.year);
        const std::string text = takeBstr(JULTODATE(j));
        if (text != head + tail && text != head + "0" + tail && ++mismatches <= 10)
            ADD_FAILURE() << j << ": " << text << ", expected " << head << tail;
    }
    EXPECT_EQ(mismatches, 0);
}

// The day of the month is read from the English long date, so a user's own
// long-date form (here year first, no commas) must not reach it.
TEST(SerialLocaleCalendar, LongDateIgnoresTheUsersOwnLongDateForm) {
    std::string text;
    int32_t april = -1, october = -1;
    {
        zymdate::test::UserLocaleSetting yearFirst(LOCALE_SLONGDATE, "yyyy MMMM d");
        ASSERT_TRUE(yearFirst.changed());
        int16_t y2000 = 2000, y2026 = 2026;
        text = takeBstr(JULTODATE(2451637)); // 2 April 2000
        april = DATEOFFIRSTSUNDAYOFAPRIL(&y2000);
        october = DATEOFLASTSUNDAYOFOCTOBER(&y2026);
    }
    EXPECT_EQ(text.rfind("Sunday, April ", 0), 0u) << text;
    EXPECT_EQ(april, 2);
    EXPECT_EQ(october, 25);
}

TEST(CalendarTexts, DayOfMonthFromLongDates) {
    struct Case {
        const char* text;
        int32_t day;
    } const cases[] = {
        {"Sunday, April 02, 2000", 2},
        {"Sunday, April 2, 2000", 2},
        {"Sunday, October 25, 2026", 25},
        {"Sunday,   October 31", 31}, // blanks before the field, no third field
        {"x, \"Oct, 27\", 2002", 27}, // quoted field keeps its comma
        {"Sunday, 7, 2002", 7},       // field shorter than two characters
        {"Sunday, April, 2000", 0},   // no number at the end of the field
        {"Sunday April 02 2000", 0},  // no second field at all
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zymdate::dayOfMonthFromLongDate(c.text), c.day) << c.text;
}

// --- today's weekday -----------------------------------------------------------

TEST(CalendarWeekday, NamesTheClocksWeekday) {
    // Late on Monday west of UTC is already Tuesday in UTC.
    zymdate::test::FixedClock clock(zymdate::test::civilTime(2002, 1, 15, 3),
                                    zymdate::test::civilTime(2002, 1, 14, 22));
    EXPECT_EQ(zymdate::dayOfTheWeek(true), "Tuesday");
    EXPECT_EQ(zymdate::dayOfTheWeek(false), "Monday");
    for (unsigned day = 1; day <= 7; ++day) { // 1 April 2001 was a Sunday
        zymdate::test::gFixedLocal = zymdate::test::civilTime(2001, 4, day);
        EXPECT_EQ(zymdate::dayOfTheWeek(false), zymdate::test::weekdayName(day - 1));
    }
}

TEST(CalendarWeekday, ExportReadsTheRealClock) {
    using zymdate::test::weekdayName;
    SYSTEMTIME before{}, after{};
    int32_t useUtc = 1;
    ::GetSystemTime(&before);
    const std::string name = takeBstr(DAYOFTHEWEEK(&useUtc));
    ::GetSystemTime(&after);
    EXPECT_TRUE(name == weekdayName(before.wDayOfWeek) || name == weekdayName(after.wDayOfWeek))
        << name;
    useUtc = 0;
    ::GetLocalTime(&before);
    const std::string local = takeBstr(DAYOFTHEWEEK(&useUtc));
    ::GetLocalTime(&after);
    EXPECT_TRUE(local == weekdayName(before.wDayOfWeek) || local == weekdayName(after.wDayOfWeek))
        << local;
}

} // namespace
