// SYSTEMTIME arithmetic as 64-bit FILETIME counts, zone conversion, and the
// distance between date texts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace zymdate {

// Moves the record by a number of milliseconds. A record the platform rejects
// counts as 1 January 1601 00:00 UTC; a result the platform cannot represent
// (before 1601) leaves the record as it was.
void addMilliseconds(SYSTEMTIME& time, int64_t milliseconds);

// UTC to local time and back with the platform's current offset. The source is
// read whole before the target is written, so both may be one record. A source
// the platform rejects counts as 1 January 1601 00:00; a result it cannot
// represent leaves the target as it was.
void utcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local);
void localToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc);

// The record of a date text (30 or 29 December 1899 for text that is not a date).
SYSTEMTIME systemTimeFromText(std::string_view text);

// Whole seconds from one variant date to another, halves to the even neighbour;
// INT32_MIN when the distance does not fit 32 bits.
int32_t secondsBetween(double firstVariantDate, double secondVariantDate);

// Seconds from the first date text to the second.
int32_t dateDifference(std::string_view first, std::string_view second);

// Whether the file was last written (in local time) before the date and time
// that the second and third space-separated fields of dateText name. A file
// that does not exist counts as older than any time.
bool isFileDateNewer(std::string_view fileName, std::string_view dateText);

// Comparison as points in time, field by field from the year down to the
// milliseconds; the day of the week plays no part.
bool isEarlier(const SYSTEMTIME& a, const SYSTEMTIME& b);

} // namespace zymdate
