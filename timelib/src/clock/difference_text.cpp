#include "clock/difference_text.h"

#include "calendar/calendar.h"
#include "shared/number_text.h"
#include "shared/time_units.h"
#include "tw/civil_days.h"

#include <algorithm>
#include <utility>

namespace zymdate {

namespace {

using tw::Civil;
using tw::civilFromDays;
using tw::daysFromCivil;

ClockReading readingOf(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// Seconds since 1970 of a reading; out-of-range fields carry arithmetically.
// Fields come from 16-bit values, so nothing here comes near overflowing.
int64_t instantOf(const ClockReading& r) {
    const int64_t monthIndex = r.month - 1;
    const int64_t year = r.year + floorDiv(monthIndex, 12);
    const int64_t month = monthIndex - floorDiv(monthIndex, 12) * 12 + 1;
    const int64_t days = daysFromCivil(year, month, 1) + r.day - 1;
    return days * kSecondsPerDay + r.hour * kSecondsPerHour + r.minute * kSecondsPerMinute +
           r.second;
}

// The instant a whole number of months after a date and time of day; a day
// beyond the target month's end becomes its last day.
int64_t addMonths(const Civil& date, int64_t secondOfDay, int64_t months) {
    const int64_t monthIndex = date.year * 12 + (date.month - 1) + months;
    const int64_t year = floorDiv(monthIndex, 12);
    const int64_t month = monthIndex - year * 12 + 1;
    const int64_t day = std::min<int64_t>(date.day, daysInMonth(month, year));
    return daysFromCivil(year, month, day) * kSecondsPerDay + secondOfDay;
}

} // namespace

CalendarDifference calendarDifference(const ClockReading& a, const ClockReading& b) {
    int64_t earlier = instantOf(a), later = instantOf(b);
    if (earlier > later)
        std::swap(earlier, later);

    const int64_t earlierDays = floorDiv(earlier, kSecondsPerDay);
    const int64_t secondOfDay = earlier - earlierDays * kSecondsPerDay;
    const Civil from = civilFromDays(earlierDays);
    const Civil to = civilFromDays(floorDiv(later, kSecondsPerDay));

    // The whole months that fit: the month count of the dates, or one less
    // when that overshoots (a later day or time of day in the earlier reading).
    int64_t months = (to.year - from.year) * 12 + (to.month - from.month);
    int64_t anchor = addMonths(from, secondOfDay, months);
    if (anchor > later) {
        --months;
        anchor = addMonths(from, secondOfDay, months);
    }

    int64_t rest = later - anchor; // less than 31 days
    CalendarDifference d{};
    d.years = months / 12;
    d.months = months % 12;
    d.days = rest / kSecondsPerDay;
    rest %= kSecondsPerDay;
    d.hours = rest / kSecondsPerHour;
    d.minutes = rest / kSecondsPerMinute % 60;
    d.seconds = rest % kSecondsPerMinute;
    return d;
}

std::string differenceWording(const CalendarDifference& d) {
    struct Part {
        int64_t count;
        const char* unit;
    };
    const Part parts[] = {{d.years, " Year"}, {d.months, " Month"},   {d.days, " Day"},
                          {d.hours, " Hour"}, {d.minutes, " Minute"}, {d.seconds, " Second"}};
    std::string text;
    for (const Part& p : parts) {
        if (p.count == 0)
            continue;
        // Only a leading year part goes without the separating space.
        if (&p != &parts[0])
            text += ' ';
        text += numberText(p.count) + p.unit;
        if (p.count != 1)
            text += 's';
    }
    return text;
}

std::string differenceText(const SYSTEMTIME& first, SYSTEMTIME& second, int32_t& matchFlag) {
    const CalendarDifference d = calendarDifference(readingOf(first), readingOf(second));
    // Only years can exceed a 16-bit field (readings with huge month or day
    // fields); the text still tells the whole number.
    second.wYear = static_cast<WORD>(std::min<int64_t>(d.years, 0xFFFF));
    second.wMonth = static_cast<WORD>(d.months);
    second.wDay = static_cast<WORD>(d.days);
    second.wHour = static_cast<WORD>(d.hours);
    second.wMinute = static_cast<WORD>(d.minutes);
    second.wSecond = static_cast<WORD>(d.seconds);

    std::string text = differenceWording(d);
    if (text.empty()) {
        matchFlag = 1;
        text = kClockMatchesText;
    }
    return text;
}

} // namespace zymdate
