#include "time_server/time_server_texts.h"

#include "calendar/calendar.h"
#include "shared/time_units.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zymdate {

namespace {

// At least two digits, as every date and time field of the line is written.
std::string twoDigits(unsigned value) {
    std::string s = std::to_string(value);
    return s.size() < 2 ? "0" + s : s;
}

std::string zeroPadded(uint64_t value, size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width)
        s.insert(0, width - s.size(), '0');
    return s;
}

int32_t dayOfMonth(int32_t julianDay) {
    return gregorianDateOfDay(julianDay).day;
}

} // namespace

std::string daylightSavingCode(const SYSTEMTIME& utc, ZoneTime zone) {
    const auto year = static_cast<int16_t>(utc.wYear);
    if (zone == ZoneTime::Daylight) {
        if (utc.wMonth == 10) {
            const int32_t changeDay = dayOfMonth(lastSundayOfOctober(year));
            if (utc.wDay < changeDay)
                return twoDigits(static_cast<unsigned>(changeDay - utc.wDay));
        }
        return "50";
    }
    if (zone == ZoneTime::Standard && utc.wMonth == 4) {
        const int32_t changeDay = dayOfMonth(firstSundayOfApril(year));
        if (utc.wDay < changeDay)
            return twoDigits(static_cast<unsigned>(changeDay - utc.wDay));
    }
    return "00";
}

std::string advanceText(double advance) {
    if (!std::isfinite(advance)) {
        char buffer[16];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, advance).ptr);
    }
    // A number picture sees a double as its 15 significant decimal digits, the
    // digits the caller wrote (12.35, not 12.3499999999999996), and rounds
    // those half away from zero.
    constexpr int kSignificant = 15;
    char sci[32]; // d.dddddddddddddde±ddd
    const char* end = std::to_chars(sci, sci + sizeof sci, std::fabs(advance),
                                    std::chars_format::scientific, kSignificant - 1)
                          .ptr;
    std::string digits(1, sci[0]);
    digits.append(sci + 2, sci + 1 + kSignificant);
    const char* exponentText = sci + 2 + kSignificant; // after the 'e'
    int exponent = 0;
    std::from_chars(exponentText + 1, end, exponent);
    if (*exponentText == '-')
        exponent = -exponent;

    // The digits down to the tenths, then the next one decides.
    const int kept = exponent + 2;
    std::string tenths;
    for (int i = 0; i < kept; ++i)
        tenths += i < kSignificant ? digits[static_cast<size_t>(i)] : '0';
    if (kept >= 0 && kept < kSignificant && digits[static_cast<size_t>(kept)] >= '5') {
        size_t i = tenths.size();
        while (i > 0 && tenths[i - 1] == '9')
            tenths[--i] = '0';
        if (i == 0)
            tenths.insert(0, 1, '1');
        else
            ++tenths[i - 1];
    }
    if (tenths.size() < 4)
        tenths.insert(0, 4 - tenths.size(), '0'); // "000.0" wants three digits before the point
    std::string text = advance < 0 ? "-" : "";
    text.append(tenths, 0, tenths.size() - 1);
    text += '.';
    text += tenths.back();
    return text;
}

std::string nistLine(const SYSTEMTIME& utc, ZoneTime zone, int32_t leap, double& advance,
                     std::string_view ending) {
    if (advance == 0)
        advance = kDefaultAdvance;
    // The modified Julian day from the date's fields rather than from its
    // packed MMDDYYYY form, which holds years up to 9999 only.
    const int32_t mjd =
        utc.wYear == 0
            ? 0
            : julianDayJulianOrGregorian(utc.wYear, utc.wMonth, utc.wDay) - kModifiedJulianOffset;
    std::string line = std::to_string(mjd);
    line += ' ';
    line += twoDigits(utc.wYear % 100u);
    line += '-';
    line += twoDigits(utc.wMonth);
    line += '-';
    line += twoDigits(utc.wDay);
    line += ' ';
    line += twoDigits(utc.wHour);
    line += ':';
    line += twoDigits(utc.wMinute);
    line += ':';
    line += twoDigits(utc.wSecond);
    line += ' ';
    line += daylightSavingCode(utc, zone);
    line += ' ';
    line += std::to_string(leap);
    line += ' ';
    line += kNistHealthy;
    line += ' ';
    line += advanceText(advance);
    line += ending;
    return line;
}

uint32_t rfc868Value(const SYSTEMTIME& utc) {
    const int64_t days = int64_t{julianDayAlwaysGregorian(utc.wYear, utc.wMonth, utc.wDay)} -
                         julianDayAlwaysGregorian(1900, 1, 1);
    const int64_t seconds = days * kSecondsPerDay + utc.wHour * kSecondsPerHour +
                            utc.wMinute * kSecondsPerMinute + utc.wSecond;
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds)); // low 32 bits
}

int32_t biasInEffect(int32_t bias, int32_t standardBias, int32_t daylightBias, ZoneTime zone) {
    switch (zone) {
    case ZoneTime::Daylight:
        return bias + daylightBias;
    case ZoneTime::Standard:
        return bias + standardBias;
    case ZoneTime::Unknown:
        break;
    }
    return bias;
}

std::string inetZoneText(int32_t bias) {
    const int64_t minutes = std::llabs(int64_t{bias});
    const auto hhmm = static_cast<uint64_t>((minutes / 60) * 100 + minutes % 60);
    return (bias >= 0 ? "-" : "+") + zeroPadded(hhmm, 4);
}

} // namespace zymdate
