#include "calendar/calendar_locale.h"

#include "calendar/calendar.h"
#include "clock/pc_clock_seam.h"
#include "formatting/formatting.h"
#include "tw/trim.h"

#include <windows.h>

namespace zymdate {

namespace {

// English with the neutral sub-language: the long date is English whatever
// the user's own locale, which is what the day-of-month reading relies on.
constexpr LCID kEnglishNeutral = MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);
// Day names are far shorter than this; a longer text fails and comes back
// empty rather than truncated.
constexpr int kTextCapacity = kFormatBufferSize;

} // namespace

std::string julToDate(int32_t julianDay) {
    const CalendarDate date = gregorianDateOfDay(julianDay);
    // A year a SYSTEMTIME cannot hold would be cut to 16 bits and name some
    // other date; such days have no text.
    if (date.year < 0 || date.year > 0xFFFF)
        return {};
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date.year);
    st.wMonth = static_cast<WORD>(date.month);
    st.wDay = static_cast<WORD>(date.day);
    // Without NOUSEROVERRIDE a user's own long-date form reaches English too
    // (the neutral English locale resolves to the user's en-US), and the day
    // of the month would no longer close the second comma-separated field.
    return formatDatePart(st, DATE_LONGDATE | LOCALE_NOUSEROVERRIDE, nullptr, kEnglishNeutral);
}

int32_t dateOfFirstSundayOfApril(int16_t year) {
    return dayOfMonthFromLongDate(julToDate(firstSundayOfApril(year)));
}

int32_t dateOfLastSundayOfOctober(int16_t year) {
    return dayOfMonthFromLongDate(julToDate(lastSundayOfOctober(year)));
}

std::string dayOfTheWeek(bool useUtc) {
    SYSTEMTIME now{};
    (useUtc ? pcClock().getSystemTime : pcClock().getLocalTime)(&now);
    // The locale lists Monday first (SDAYNAME1) and Sunday last (SDAYNAME7).
    const LCTYPE item =
        now.wDayOfWeek == 0 ? LOCALE_SDAYNAME7 : LOCALE_SDAYNAME1 - 1 + now.wDayOfWeek;
    const LCID locale = useUtc ? LOCALE_SYSTEM_DEFAULT : 0;
    char buffer[kTextCapacity] = {};
    if (::GetLocaleInfoA(locale, item, buffer, kTextCapacity) == 0)
        return {};
    return std::string(tw::trimmed(buffer, tw::kSpace));
}

} // namespace zymdate
