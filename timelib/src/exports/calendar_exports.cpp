// Exports of the calendar: thin adapters over calendar and calendar_locale.
#include "zymdate.h"

#include "calendar/calendar.h"
#include "calendar/calendar_locale.h"
#include "tw/export_edge.h"

extern "C" int32_t WINAPI CALDATETOJULIAN(uint32_t packedDate) {
    return zymdate::calDateToJulian(packedDate);
}

extern "C" uint32_t WINAPI JULIANTOCALDATE(int32_t julianDay) {
    return zymdate::julianToCalDate(julianDay);
}

extern "C" int32_t WINAPI MODIFIEDJULIANDATE(uint32_t packedDate) {
    return zymdate::modifiedJulianDate(packedDate);
}

extern "C" int32_t WINAPI ISLEAPYEAR(uint32_t year) {
    return zymdate::isLeapYear(year) ? 1 : 0;
}

extern "C" int32_t WINAPI DAYSINMONTH(uint32_t month, uint32_t year) {
    return zymdate::daysInMonth(month, year);
}

extern "C" BSTR WINAPI JULTODATE(int32_t julianDay) {
    return tw::textAtEdge([&] { return zymdate::julToDate(julianDay); });
}

extern "C" int32_t WINAPI FIRSTSUNDAYOFAPRIL(int16_t year) {
    return zymdate::firstSundayOfApril(year);
}

extern "C" int32_t WINAPI LASTSUNDAYOFMARCH(int16_t year) {
    return zymdate::lastSundayOfMarch(year);
}

extern "C" int32_t WINAPI LASTSUNDAYOFOCTOBER(int16_t year) {
    return zymdate::lastSundayOfOctober(year);
}

// A missing year reads as 0, like any other year without a usable answer.
extern "C" int32_t WINAPI DATEOFFIRSTSUNDAYOFAPRIL(int16_t* year) {
    return tw::atEdge<int32_t>(
        0, [&] { return zymdate::dateOfFirstSundayOfApril(year ? *year : int16_t{0}); });
}

extern "C" int32_t WINAPI DATEOFLASTSUNDAYOFOCTOBER(int16_t* year) {
    return tw::atEdge<int32_t>(
        0, [&] { return zymdate::dateOfLastSundayOfOctober(year ? *year : int16_t{0}); });
}

extern "C" BSTR WINAPI GETMONTHNAME(int32_t month) {
    return tw::textAtEdge([&] { return zymdate::monthAbbreviation(month); });
}

// A missing flag means local time.
extern "C" BSTR WINAPI DAYOFTHEWEEK(int32_t* useUtc) {
    return tw::textAtEdge([&] { return zymdate::dayOfTheWeek(useUtc != nullptr && *useUtc != 0); });
}
