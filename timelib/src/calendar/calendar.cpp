#include "calendar/calendar.h"

#include "tw/leading_number.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zymdate {

namespace {

// The day-number formulas were published with single-precision factors and
// evaluated in x87 extended precision; they keep those exact factor values so
// that every day lands where it always has. With these operand ranges each
// product is exact and no quotient comes within 1e-8 of an integer it is not,
// so a 53-bit long double (MSVC) gives the same integers as the 64-bit one.
using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits >= 53);
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
static_assert(std::numeric_limits<Extended>::digits == 64, "x87 extended precision expected");
#endif

constexpr Extended kMonthFactor = 30.6001f; // 30.600099563598633
// The counted years of julianToCalDate run March to February: the month
// number e (4..15) times kMonthFactor puts 1 March about 122 days in.
constexpr Extended kDaysBeforeMarch = 122.1f; // 122.0999984741211
constexpr Extended kMonthFactorShort = 30.6f; // 30.600000381469727
constexpr Extended kMonthRounding = 0.2f;     // 0.20000000298023224
constexpr Extended kJulianYear = 365.25L;

static_assert(sizeof(int32_t) == 4 && sizeof(int64_t) == 8);

int64_t floorToInt(Extended x) {
    return static_cast<int64_t>(std::floor(x));
}

// 15 October 1582 as day + 31 × (month + 12 × year): the first Gregorian date.
constexpr int64_t kGregorianReformKey = 588829;
constexpr int32_t kGregorianReformDay = 2299161;
constexpr int32_t kSunday = 6;

constexpr std::array<std::string_view, 12> kMonthAbbreviations = {
    "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

CalendarDate unpackDate(uint32_t packed) {
    return CalendarDate{.year = static_cast<int32_t>(packed % 10000),
                        .month = static_cast<int32_t>(packed / 1000000),
                        .day = static_cast<int32_t>((packed / 10000) % 100)};
}

uint32_t packDate(const CalendarDate& date) {
    return static_cast<uint32_t>(date.month) * 1000000u + static_cast<uint32_t>(date.day) * 10000u +
           static_cast<uint32_t>(date.year);
}

int32_t julianDayJulianOrGregorian(int32_t year, int32_t month, int32_t day) {
    // 64-bit throughout: with month 4300 and year 65535 the reform key alone
    // approaches 2.6e7 and nothing comes near 2^31, but the margin is kept
    // obvious rather than argued.
    const int64_t jy = month > 2 ? year : int64_t{year} - 1;
    const int64_t jm = month > 2 ? int64_t{month} + 1 : int64_t{month} + 13;
    int64_t jul = floorToInt(static_cast<Extended>(jm) * kMonthFactor) +
                  floorToInt(static_cast<Extended>(jy) * kJulianYear) + day + 1720995;
    if (day + 31 * (int64_t{month} + 12 * int64_t{year}) >= kGregorianReformKey) {
        const int64_t a = floorDiv(jy, 100);
        jul += 2 - a + floorDiv(a, 4);
    }
    return static_cast<int32_t>(jul);
}

int32_t calDateToJulian(uint32_t packed) {
    const CalendarDate d = unpackDate(packed);
    if (d.year == 0)
        return 0;
    return julianDayJulianOrGregorian(d.year, d.month, d.day);
}

int32_t modifiedJulianDate(uint32_t packed) {
    if (unpackDate(packed).year == 0)
        return 0;
    return calDateToJulian(packed) - kModifiedJulianOffset;
}

uint32_t julianToCalDate(int32_t julianDay) {
    if (julianDay < kFirstPackableDay || julianDay > kLastPackableDay)
        return 0;
    const int64_t j = julianDay;
    int64_t a = j;
    if (j >= kGregorianReformDay) {
        const int64_t alpha = floorToInt((static_cast<Extended>(j - 1867216) - 0.25L) / 36524.25L);
        a = j + 1 + alpha - floorToInt(static_cast<Extended>(alpha) * 0.25L);
    }
    const int64_t b = a + 1524;
    const int64_t c =
        floorToInt(6680 + (static_cast<Extended>(b - 2439870) - kDaysBeforeMarch) / kJulianYear);
    const int64_t d = 365 * c + floorToInt(static_cast<Extended>(c) * 0.25L);
    const int64_t e = floorToInt(static_cast<Extended>(b - d) / kMonthFactor);
    const int64_t day = b - d - floorToInt(static_cast<Extended>(e) * kMonthFactor);
    int64_t month = e - 1;
    if (month > 12)
        month -= 12;
    int64_t year = c - 4715;
    if (month > 2)
        year -= 1;
    return packDate(CalendarDate{.year = static_cast<int32_t>(year),
                                 .month = static_cast<int32_t>(month),
                                 .day = static_cast<int32_t>(day)});
}

int32_t julianDayAlwaysGregorian(int32_t year, int32_t month, int32_t day) {
    int64_t y = year;
    int64_t m = month;
    if (m < 3) {
        m += 12;
        y -= 1;
    }
    // y ÷ 100 and y ÷ 400 truncate, as they always have; for years before 1
    // that shifts the leap rule, but only Gregorian years from 1 on matter.
    const int64_t jd =
        floorToInt(kJulianYear * static_cast<Extended>(y + 4712)) - y / 100 + y / 400 +
        floorToInt(kMonthFactorShort * static_cast<Extended>(m - 1) + kMonthRounding) + day;
    return static_cast<int32_t>(jd);
}

int32_t weekdayOfDay(int32_t julianDay) {
    // Floored, so that the searches below also end for the negative day
    // numbers of very early 16-bit years.
    const int32_t r = julianDay % 7;
    return r < 0 ? r + 7 : r;
}

int32_t firstSundayOfApril(int16_t year) {
    int32_t day = julianDayAlwaysGregorian(year, 3, 31);
    do
        ++day;
    while (weekdayOfDay(day) != kSunday);
    return day;
}

int32_t lastSundayOfMarch(int16_t year) {
    int32_t day = julianDayAlwaysGregorian(year, 4, 1);
    do
        --day;
    while (weekdayOfDay(day) != kSunday);
    return day;
}

int32_t lastSundayOfOctober(int16_t year) {
    int32_t day = julianDayAlwaysGregorian(year, 11, 1);
    do
        --day;
    while (weekdayOfDay(day) != kSunday);
    return day;
}

CalendarDate gregorianDateOfDay(int32_t julianDay) {
    // 64-bit: 4 × l and 4000 × (l + 1) overflow 32 bits for day numbers past
    // about 536 million.
    int64_t l = int64_t{julianDay} + 68569;
    const int64_t n = (4 * l) / 146097;
    l = l - (146097 * n + 3) / 4;
    const int64_t i = (4000 * (l + 1)) / 1461001;
    l = l - (1461 * i) / 4 + 31;
    const int64_t k = (80 * l) / 2447;
    const int64_t day = l - (2447 * k) / 80;
    l = k / 11;
    const int64_t month = k + 2 - 12 * l;
    const int64_t year = 100 * (n - 49) + i + l;
    return CalendarDate{.year = static_cast<int32_t>(year),
                        .month = static_cast<int32_t>(month),
                        .day = static_cast<int32_t>(day)};
}

std::string_view monthAbbreviation(int32_t month) {
    if (month < 1 || month > 12)
        return {};
    return kMonthAbbreviations[static_cast<size_t>(month - 1)];
}

namespace {

// The field'th (0-based) comma-separated field. Blanks at the start of a
// field are skipped; a field that opens with a double quote runs to the
// closing quote, commas included.
std::string_view commaSeparatedField(std::string_view text, int field) {
    size_t pos = 0;
    for (int index = 0;; ++index) {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        std::string_view value;
        size_t next; // first character after this field's comma, or npos
        if (pos < text.size() && text[pos] == '"') {
            const size_t close = text.find('"', pos + 1);
            const size_t end = close == std::string_view::npos ? text.size() : close;
            value = text.substr(pos + 1, end - pos - 1);
            const size_t comma = close == std::string_view::npos ? close : text.find(',', close);
            next = comma == std::string_view::npos ? comma : comma + 1;
        } else {
            const size_t comma = text.find(',', pos);
            value = text.substr(pos, comma == std::string_view::npos ? text.npos : comma - pos);
            next = comma == std::string_view::npos ? comma : comma + 1;
        }
        if (index == field)
            return value;
        if (next == std::string_view::npos)
            return {};
        pos = next;
    }
}

} // namespace

int32_t dayOfMonthFromLongDate(std::string_view longDate) {
    std::string_view field = commaSeparatedField(longDate, 1);
    if (field.size() > 2)
        field.remove_prefix(field.size() - 2);
    return static_cast<int32_t>(std::nearbyint(tw::leadingNumber(field)));
}

} // namespace zymdate
