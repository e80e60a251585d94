#include "formatting/formatting.h"

#include "clock/pc_clock_seam.h"

#include <oleauto.h>

#include <cstring>

namespace zymdate {

namespace {

using NlsFormatter = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);

// The fixed-buffer idiom of both formatters, written once. A failed call (bad
// record, bad picture, text of 64 characters or more) counts as an empty part,
// whatever the platform may have left in the buffer.
std::string formatPart(NlsFormatter format, LCID locale, const SYSTEMTIME& time, DWORD flags,
                       const char* picture) {
    char buffer[kFormatBufferSize] = {};
    if (format(locale, flags, &time, picture, buffer, kFormatBufferSize) == 0)
        return {};
    return std::string(buffer, ::strnlen(buffer, sizeof buffer));
}

void defaultIfEmpty(std::string& text, std::string_view fallback) {
    if (text.empty())
        text = fallback;
}

SYSTEMTIME localNow() {
    SYSTEMTIME now{};
    pcClock().getLocalTime(&now);
    return now;
}

// Each byte as one UTF-16 unit, unconverted: the parser's input form.
std::wstring widenBytes(std::string_view text) {
    std::wstring wide(text.size(), L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return wide;
}

} // namespace

std::string formatDatePart(const SYSTEMTIME& time, DWORD flags, const char* picture, LCID locale) {
    return formatPart(::GetDateFormatA, locale, time, flags, picture);
}

std::string formatTimePart(const SYSTEMTIME& time, DWORD flags, const char* picture, LCID locale) {
    return formatPart(::GetTimeFormatA, locale, time, flags, picture);
}

std::string formatTime(const SYSTEMTIME& time, std::string& timePicture, std::string& datePicture) {
    defaultIfEmpty(timePicture, kDefaultTimePicture);
    defaultIfEmpty(datePicture, kDefaultDatePicture);
    const std::string timeText = formatTimePart(time, 0, timePicture.c_str());
    return formatDatePart(time, 0, datePicture.c_str()) + ' ' + timeText;
}

std::string pcTime(std::string& timePicture) {
    defaultIfEmpty(timePicture, kDefaultTimePicture);
    return formatTimePart(localNow(), 0, timePicture.c_str());
}

std::string pcDate(std::string& datePicture) {
    defaultIfEmpty(datePicture, kDefaultDatePicture);
    return formatDatePart(localNow(), 0, datePicture.c_str());
}

std::string pcTimeAndDate(bool useUtc, std::string& datePicture, std::string& timePicture,
                          std::string& separator) {
    defaultIfEmpty(separator, kDefaultSeparator);
    defaultIfEmpty(datePicture, kDefaultDatePicture);
    defaultIfEmpty(timePicture, kDefaultTimePicture);
    // One reading, so date and time always describe the same instant.
    SYSTEMTIME now{};
    if (useUtc)
        pcClock().getSystemTime(&now);
    else
        pcClock().getLocalTime(&now);
    return formatDatePart(now, 0, datePicture.c_str()) + separator +
           formatTimePart(now, 0, timePicture.c_str());
}

std::string ustring(std::string_view text) {
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[2 * i] = text[i]; // the high byte stays 0
    return out;
}

double strToVbDate(std::string_view text) {
    // The parser reads up to a terminating zero unit; std::wstring provides it.
    std::wstring wide = widenBytes(text);
    DATE date = 0;
    const HRESULT status = ::VarDateFromStr(wide.data(), kNeutralLocale, 0, &date);
    return variantDateFromParse(status, date);
}

double variantDateFromParse(HRESULT status, double parsed) {
    switch (status) {
    case S_OK:
        return parsed;
    case DISP_E_OVERFLOW:
        return -1.0;
    default: // DISP_E_TYPEMISMATCH, E_OUTOFMEMORY and anything else
        return 0.0;
    }
}

std::string vbDateToStr(double variantDate) {
    // A value the platform rejects leaves the record zero-filled: no valid date, midnight.
    SYSTEMTIME time{};
    if (!::VariantTimeToSystemTime(variantDate, &time))
        time = SYSTEMTIME{};
    const std::string timeText = formatTimePart(time, TIME_FORCE24HOURFORMAT, nullptr);
    return formatDatePart(time, DATE_SHORTDATE, nullptr) + ' ' + timeText;
}

std::string timestamp() {
    std::string timePicture;
    std::string datePicture(kTimestampDatePicture);
    return formatTime(localNow(), timePicture, datePicture);
}

} // namespace zymdate
