// Wording how far the clock moved: the real elapsed calendar difference, in
// the unit words and spacing the program shows.
#include "clock/difference_text.h"
#include "shared/number_text.h"
#include "time_support.h"
#include "tw/bstr.h"
#include "zymdate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace zymdate::test;
using zymdate::CalendarDifference;
using zymdate::ClockReading;

struct WordingCase {
    const char* name;
    SYSTEMTIME first, second;
    const char* text;
    CalendarDifference difference;
};

const WordingCase kWordingCases[] = {
    {"5 seconds across a minute and hour boundary",
     civilTime(2026, 5, 4, 10, 59, 58),
     civilTime(2026, 5, 4, 11, 0, 3),
     "  5 Seconds",
     {0, 0, 0, 0, 0, 5}},
    {"2 seconds across a year end",
     civilTime(2003, 12, 31, 23, 59, 59),
     civilTime(2004, 1, 1, 0, 0, 1),
     "  2 Seconds",
     {0, 0, 0, 0, 0, 2}},
    {"singular words",
     civilTime(2020, 1, 1, 0, 0, 0),
     civilTime(2021, 2, 2, 1, 1, 1),
     " 1 Year  1 Month  1 Day  1 Hour  1 Minute  1 Second",
     {1, 1, 1, 1, 1, 1}},
    {"plural words",
     civilTime(2020, 1, 1, 0, 0, 0),
     civilTime(2022, 3, 3, 2, 2, 2),
     " 2 Years  2 Months  2 Days  2 Hours  2 Minutes  2 Seconds",
     {2, 2, 2, 2, 2, 2}},
    {"year first, one leading space",
     civilTime(2019, 7, 1, 8, 0, 0),
     civilTime(2020, 7, 1, 8, 0, 2),
     " 1 Year  2 Seconds",
     {1, 0, 0, 0, 0, 2}},
    {"59 minutes alone",
     civilTime(2026, 5, 4, 10, 0, 0),
     civilTime(2026, 5, 4, 10, 59, 0),
     "  59 Minutes",
     {0, 0, 0, 0, 59, 0}},
    {"over a month end",
     civilTime(2023, 1, 31, 23, 0, 0),
     civilTime(2023, 2, 1, 1, 0, 0),
     "  2 Hours",
     {0, 0, 0, 2, 0, 0}},
    {"1 February to 1 March is a month",
     civilTime(2023, 2, 1, 12, 0, 0),
     civilTime(2023, 3, 1, 12, 0, 0),
     "  1 Month",
     {0, 1, 0, 0, 0, 0}},
    {"over 29 February",
     civilTime(2024, 2, 28, 12, 0, 0),
     civilTime(2024, 3, 1, 12, 0, 0),
     "  2 Days",
     {0, 0, 2, 0, 0, 0}},
    {"same span without a leap day",
     civilTime(2023, 2, 28, 12, 0, 0),
     civilTime(2023, 3, 1, 12, 0, 0),
     "  1 Day",
     {0, 0, 1, 0, 0, 0}},
    {"31 January plus a month ends in February",
     civilTime(2023, 1, 31, 0, 0, 0),
     civilTime(2023, 3, 1, 0, 0, 0),
     "  1 Month  1 Day",
     {0, 1, 1, 0, 0, 0}},
    {"time of day not yet reached holds back the day",
     civilTime(2026, 3, 10, 18, 0, 0),
     civilTime(2026, 4, 10, 6, 0, 0),
     "  30 Days  12 Hours",
     {0, 0, 30, 12, 0, 0}},
    {"leap day to the next year",
     civilTime(2024, 2, 29, 0, 0, 0),
     civilTime(2025, 3, 1, 0, 0, 0),
     " 1 Year  1 Day",
     {1, 0, 1, 0, 0, 0}},
    {"long span",
     civilTime(1990, 10, 20, 5, 6, 7),
     civilTime(2026, 12, 6, 7, 45, 12),
     " 36 Years  1 Month  16 Days  2 Hours  39 Minutes  5 Seconds",
     {36, 1, 16, 2, 39, 5}},
};

SYSTEMTIME withMilliseconds(SYSTEMTIME t, WORD ms) {
    t.wMilliseconds = ms;
    return t;
}

TEST(DifferenceText, WordsTheElapsedCalendarDifferenceInBothDirections) {
    for (const WordingCase& c : kWordingCases) {
        for (const bool reversed : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (reversed ? " (later first)" : ""));
            SYSTEMTIME first = reversed ? c.second : c.first;
            // Milliseconds and day of week are not compared and must survive.
            SYSTEMTIME second = withMilliseconds(reversed ? c.first : c.second, 987);
            second.wDayOfWeek = 6;
            int32_t flag = 0;
            tw::unique_bstr text(DIFFERENCETEXT(&first, &second, &flag));
            EXPECT_EQ(tw::fromBstr(text.get()), c.text);
            EXPECT_EQ(flag, 0) << "the flag is only set on a match";
            const CalendarDifference& d = c.difference;
            EXPECT_EQ(second.wYear, d.years);
            EXPECT_EQ(second.wMonth, d.months);
            EXPECT_EQ(second.wDay, d.days);
            EXPECT_EQ(second.wHour, d.hours);
            EXPECT_EQ(second.wMinute, d.minutes);
            EXPECT_EQ(second.wSecond, d.seconds);
            EXPECT_EQ(second.wMilliseconds, 987);
            EXPECT_EQ(second.wDayOfWeek, 6);
        }
    }
}

TEST(DifferenceText, SameSecondMatchesWhateverTheMilliseconds) {
    SYSTEMTIME first = withMilliseconds(civilTime(2026, 12, 6, 7, 45, 12), 5);
    SYSTEMTIME second = withMilliseconds(civilTime(2026, 12, 6, 7, 45, 12), 995);
    int32_t flag = 0;
    tw::unique_bstr text(DIFFERENCETEXT(&first, &second, &flag));
    EXPECT_EQ(tw::fromBstr(text.get()), "PC Clock Matches");
    EXPECT_EQ(flag, 1);
    for (const WORD field :
         {second.wYear, second.wMonth, second.wDay, second.wHour, second.wMinute, second.wSecond})
        EXPECT_EQ(field, 0);
}

TEST(DifferenceText, FlagIsNeverCleared) {
    SYSTEMTIME first = civilTime(2026, 12, 6, 7, 45, 12);
    SYSTEMTIME second = civilTime(2026, 12, 6, 7, 45, 13);
    int32_t flag = 1;
    tw::unique_bstr text(DIFFERENCETEXT(&first, &second, &flag));
    EXPECT_EQ(tw::fromBstr(text.get()), "  1 Second");
    EXPECT_EQ(flag, 1);
}

// Callers pass what they have; a missing argument must not crash the program.
TEST(DifferenceText, NullPointersAreTolerated) {
    SYSTEMTIME first = civilTime(2026, 5, 4, 12, 0, 0);
    SYSTEMTIME second = first;
    tw::unique_bstr noFlag(DIFFERENCETEXT(&first, &second, nullptr));
    EXPECT_EQ(tw::fromBstr(noFlag.get()), "PC Clock Matches");
    // A missing record reads as all fields 0: a wording of a long span, not a crash.
    int32_t flag = 0;
    second = first; // the call above wrote the difference record into it
    tw::unique_bstr noFirst(DIFFERENCETEXT(nullptr, &second, &flag));
    EXPECT_NE(tw::fromBstr(noFirst.get()).find(" Years"), std::string::npos);
    tw::unique_bstr noSecond(DIFFERENCETEXT(&first, nullptr, &flag));
    EXPECT_NE(tw::fromBstr(noSecond.get()).find(" Years"), std::string::npos);
    EXPECT_EQ(flag, 0);
}

TEST(DifferenceText, NumberTextHasSignPosition) {
    EXPECT_EQ(zymdate::numberText(57), " 57");
    EXPECT_EQ(zymdate::numberText(0), " 0");
    EXPECT_EQ(zymdate::numberText(-3), "-3");
}

TEST(DifferenceText, OutOfRangeFieldsCarryInsteadOfFailing) {
    // Month 13 of 2026 is January 2027; second 60 is the next minute.
    const CalendarDifference d = zymdate::calendarDifference(ClockReading{2026, 13, 1, 0, 0, 0},
                                                             ClockReading{2027, 1, 1, 0, 1, 0});
    EXPECT_EQ(d, (CalendarDifference{0, 0, 0, 0, 1, 0}));
    const CalendarDifference e = zymdate::calendarDifference(ClockReading{2026, 5, 4, 10, 59, 60},
                                                             ClockReading{2026, 5, 4, 11, 0, 5});
    EXPECT_EQ(e, (CalendarDifference{0, 0, 0, 0, 0, 5}));
}

// Property over many pairs: the whole months taken from the earlier reading
// (day clamped to the month's end) plus the rest gives the later reading
// exactly, one more month would overshoot, and every part is in its range.
int64_t secondsAfterMonths(const SYSTEMTIME& t, int64_t months) {
    const int64_t index = t.wYear * 12 + (t.wMonth - 1) + months;
    const int64_t year = index / 12;
    const auto month = static_cast<unsigned>(index % 12 + 1);
    const unsigned last = static_cast<unsigned>(
        daysFromCivil(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) -
        daysFromCivil(year, month, 1));
    const unsigned day = t.wDay < last ? t.wDay : last;
    return daysFromCivil(year, month, day) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

TEST(DifferenceText, DecompositionRecomposesTheLaterReading) {
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int i = 0; i < 3000; ++i) {
        const auto pick = [&] {
            const int64_t day = daysFromCivil(1996, 1, 1) + next(4 * 366);
            const CivilDate c = civilFromDays(day);
            return civilTime(static_cast<int>(c.year), c.month, c.day, next(24), next(60),
                             next(60));
        };
        SYSTEMTIME a = pick();
        // Half the pairs lie close together, where the borrows happen.
        SYSTEMTIME b = i % 2 ? pick()
                             : systemTimeFromMilliseconds(millisecondsSince1970(a) +
                                                          int64_t{next(3 * 86400)} * 1000);
        if (millisecondsSince1970(b) < millisecondsSince1970(a))
            std::swap(a, b);
        const CalendarDifference d = zymdate::calendarDifference(
            ClockReading{a.wYear, a.wMonth, a.wDay, a.wHour, a.wMinute, a.wSecond},
            ClockReading{b.wYear, b.wMonth, b.wDay, b.wHour, b.wMinute, b.wSecond});
        const int64_t months = d.years * 12 + d.months;
        const int64_t later = millisecondsSince1970(b) / 1000;
        SCOPED_TRACE(describe(a) + " to " + describe(b));
        ASSERT_EQ(secondsAfterMonths(a, months) + d.days * 86400 + d.hours * 3600 + d.minutes * 60 +
                      d.seconds,
                  later);
        ASSERT_GT(secondsAfterMonths(a, months + 1), later);
        ASSERT_TRUE(d.months >= 0 && d.months < 12 && d.days >= 0 && d.days < 31 && d.hours >= 0 &&
                    d.hours < 24 && d.minutes >= 0 && d.minutes < 60 && d.seconds >= 0 &&
                    d.seconds < 60);
    }
}

} // namespace
