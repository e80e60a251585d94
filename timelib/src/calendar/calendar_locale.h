// The calendar texts that come from the platform's locale data: the English
// long date of a day number, the daylight-saving Sundays read back from it,
// and the name of today's weekday.
#pragma once

#include <cstdint>
#include <string>

namespace zymdate {

// The English long date ("Sunday, April 02, 2000") of a day number in the
// Gregorian calendar; empty when the platform cannot format that date.
std::string julToDate(int32_t julianDay);

// Day of the month of the first Sunday of April / last Sunday of October,
// read from the long date; 0 when the long date cannot be made.
int32_t dateOfFirstSundayOfApril(int16_t year);
int32_t dateOfLastSundayOfOctober(int16_t year);

// Today's weekday name: UTC with the system locale, or local time with the
// user's locale.
std::string dayOfTheWeek(bool useUtc);

} // namespace zymdate
