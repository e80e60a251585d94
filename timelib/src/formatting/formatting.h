// Date and time texts through the platform's national-language services, and
// conversion between date texts and variant dates (days since 30 December 1899).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zymdate {

inline constexpr std::string_view kDefaultTimePicture = "hh':'mm':'ss tt";
inline constexpr std::string_view kDefaultDatePicture = "dddd',' MMMM dd',' yyyy";
inline constexpr std::string_view kTimestampDatePicture = "MM'-'dd'-'yyyy";
inline constexpr std::string_view kDefaultSeparator = " ";

// Every formatted part goes through a zero-filled buffer of this size, so a part
// holds at most 63 characters; a longer one comes out empty.
inline constexpr int kFormatBufferSize = 64;

// Locale 0 is the neutral locale: the user's regional settings.
inline constexpr LCID kNeutralLocale = 0;

// One formatted part of a record. picture may be NULL (the locale's own form,
// chosen by flags). The empty text when the platform refuses the record or the
// picture, or when the text would not fit the buffer.
std::string formatDatePart(const SYSTEMTIME& time, DWORD flags, const char* picture,
                           LCID locale = kNeutralLocale);
std::string formatTimePart(const SYSTEMTIME& time, DWORD flags, const char* picture,
                           LCID locale = kNeutralLocale);

// Date, one space, time. An empty picture is replaced by its default, and the
// default is left in the caller's variable.
std::string formatTime(const SYSTEMTIME& time, std::string& timePicture, std::string& datePicture);

// The current local time or date under a picture (an empty one gets its default).
std::string pcTime(std::string& timePicture);
std::string pcDate(std::string& datePicture);

// Date, separator, time of now, from one clock reading (UTC or local). Empty
// pictures and an empty separator get their defaults.
std::string pcTimeAndDate(bool useUtc, std::string& datePicture, std::string& timePicture,
                          std::string& separator);

// Each byte widened to a 16-bit unit (low byte first), no code-page conversion.
std::string ustring(std::string_view text);

// The variant date of a date text: 0 for unreadable text, -1 beyond the date range.
double strToVbDate(std::string_view text);

// What the parser's status makes of its result: the date on success, -1 for a
// date beyond the range, 0 for every other failure.
double variantDateFromParse(HRESULT status, double parsed);

// Short date, one space, 24-hour time.
std::string vbDateToStr(double variantDate);

// The local date and time in the event log's fixed shape "MM-dd-yyyy hh:mm:ss tt".
std::string timestamp();

} // namespace zymdate
