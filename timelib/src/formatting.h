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

// Date, one space, time. An empty picture is replaced by its default, and the
// default is left in the caller's variable.
std::string formatTime(const SYSTEMTIME& time, std::string& timePicture, std::string& datePicture);

// Each byte widened to a 16-bit unit (low byte first), no code-page conversion.
std::string ustring(std::string_view text);

// The variant date of a date text: 0 for unreadable text, -1 beyond the date range.
double strToVbDate(std::string_view text);

// Short date, one space, 24-hour time.
std::string vbDateToStr(double variantDate);

// The local date and time in the event log's fixed shape "MM-dd-yyyy hh:mm:ss tt".
std::string timestamp();

} // namespace zymdate
