// The formatter: default pictures written back, separator rules, the 64-byte
// part limit, the clock it reads, USTRING's bytes and the date-text round trip.
// Expected texts are built here from calendar facts and the en-US forms (the
// test runner pins LANG), not taken from the code under test.
#include "formatting/formatting.h"
#include "time_support.h"
#include "tw/bstr.h"
#include "zymdate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace zymdate::test;

template <typename... Args> std::string printed(const char* format, Args... args) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

using tw::takeBstr;

// A caller's text variable passed by reference.
struct TextVar {
    BSTR b = nullptr;
    TextVar() = default;
    explicit TextVar(std::string_view text) : b(tw::makeBstr(text)) {}
    ~TextVar() { ::SysFreeString(b); }
    TextVar(const TextVar&) = delete;
    TextVar& operator=(const TextVar&) = delete;
    std::string text() const { return tw::fromBstr(b); }
};

// A zero-length BSTR is as empty as NULL.
BSTR zeroLengthBstr() {
    return ::SysAllocStringByteLen("", 0);
}

const std::string kTimeDefault = "hh':'mm':'ss tt";
const std::string kDateDefault = "dddd',' MMMM dd',' yyyy";

// en-US under the default pictures: "Sunday, December 06, 2026" and "07:45:12 AM".
std::string longDate(const SYSTEMTIME& t) {
    return weekdayName(t.wDayOfWeek) + ", " + monthName(t.wMonth) +
           printed(" %02u, %u", t.wDay, t.wYear);
}
std::string twelveHourTime(const SYSTEMTIME& t) {
    const unsigned h12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    return printed("%02u:%02u:%02u %s", h12, t.wMinute, t.wSecond, t.wHour < 12 ? "AM" : "PM");
}

// ---------------------------------------------------------------------------
// Pictures and separator passed by reference

struct Vars {
    TextVar date, time, sep;
};

struct ExportCase {
    const char* name;
    bool usesDate, usesTime, usesSep;
    std::function<BSTR(Vars&)> call;
    std::string resultWithLiteralPictures; // date "'D'", time "'T'", separator "|"
};

const SYSTEMTIME kSample = civilTime(2026, 12, 6, 7, 45, 12);

std::vector<ExportCase> exportCases() {
    return {
        {"FORMATTIME", true, true, false,
         [](Vars& v) {
             SYSTEMTIME t = kSample;
             return FORMATTIME(&t, &v.time.b, &v.date.b);
         },
         "D T"},
        {"GETPCTIME", false, true, false, [](Vars& v) { return GETPCTIME(&v.time.b); }, "T"},
        {"GETPCDATE", true, false, false, [](Vars& v) { return GETPCDATE(&v.date.b); }, "D"},
        {"GETPCTIMEANDDATE local", true, true, true,
         [](Vars& v) {
             int32_t utc = 0;
             return GETPCTIMEANDDATE(&utc, &v.date.b, &v.time.b, &v.sep.b);
         },
         "D|T"},
        {"GETPCTIMEANDDATE utc", true, true, true,
         [](Vars& v) {
             int32_t utc = 1;
             return GETPCTIMEANDDATE(&utc, &v.date.b, &v.time.b, &v.sep.b);
         },
         "D|T"},
    };
}

TEST(FormattingPictures, EmptyPicturesAndSeparatorReceiveTheirDefaults) {
    for (const bool nullVariables : {true, false}) {
        for (const ExportCase& c : exportCases()) {
            SCOPED_TRACE(std::string(c.name) + (nullVariables ? " NULL" : " zero-length"));
            Vars v;
            if (!nullVariables) {
                v.date.b = zeroLengthBstr();
                v.time.b = zeroLengthBstr();
                v.sep.b = zeroLengthBstr();
            }
            const std::string result = takeBstr(c.call(v));
            EXPECT_FALSE(result.empty());
            if (c.usesDate) {
                EXPECT_EQ(v.date.text(), kDateDefault);
            }
            if (c.usesTime) {
                EXPECT_EQ(v.time.text(), kTimeDefault);
            }
            if (c.usesSep) {
                EXPECT_EQ(v.sep.text(), " ");
            }
        }
    }
}

TEST(FormattingPictures, GivenPicturesAndSeparatorAreUsedAndLeftUntouched) {
    for (const ExportCase& c : exportCases()) {
        SCOPED_TRACE(c.name);
        Vars v;
        v.date.b = tw::makeBstr("'D'");
        v.time.b = tw::makeBstr("'T'");
        v.sep.b = tw::makeBstr("|");
        const BSTR date = v.date.b, time = v.time.b, sep = v.sep.b;
        EXPECT_EQ(takeBstr(c.call(v)), c.resultWithLiteralPictures);
        // The very same strings, not copies: the caller's variables were not written.
        EXPECT_EQ(v.date.b, date);
        EXPECT_EQ(v.time.b, time);
        EXPECT_EQ(v.sep.b, sep);
        EXPECT_EQ(v.date.text(), "'D'");
        EXPECT_EQ(v.time.text(), "'T'");
        EXPECT_EQ(v.sep.text(), "|");
    }
}

TEST(FormattingPictures, SeparatorGoesBetweenDateAndTime) {
    struct Case {
        const char* separator; // nullptr: the caller's variable is NULL
        const char* result;
        const char* separatorAfter;
    };
    const Case cases[] = {
        {nullptr, "D T", " "}, {"", "D T", " "},     {" - ", "D - T", " - "},
        {" ", "D T", " "},     {"\t", "D\tT", "\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.separator ? c.separator : "(NULL)");
        TextVar date("'D'"), time("'T'");
        TextVar sep;
        if (c.separator)
            sep.b = c.separator[0] ? tw::makeBstr(c.separator) : zeroLengthBstr();
        int32_t utc = 0;
        EXPECT_EQ(takeBstr(GETPCTIMEANDDATE(&utc, &date.b, &time.b, &sep.b)), c.result);
        EXPECT_EQ(sep.text(), c.separatorAfter);
    }
}

TEST(FormattingPictures, FormatTimeWithDefaultsGivesLongDateAndTwelveHourTime) {
    const SYSTEMTIME records[] = {
        civilTime(2026, 12, 6, 7, 45, 12), civilTime(2024, 2, 29, 23, 59, 59),
        civilTime(2000, 1, 1, 0, 0, 0),    civilTime(1999, 12, 31, 12, 0, 0),
        civilTime(1601, 1, 1, 12, 30, 5),  civilTime(9999, 12, 31, 13, 1, 2),
    };
    for (const SYSTEMTIME& r : records) {
        SYSTEMTIME t = r;
        BSTR timePicture = nullptr, datePicture = nullptr;
        const std::string expected = longDate(r) + " " + twelveHourTime(r);
        EXPECT_EQ(takeBstr(FORMATTIME(&t, &timePicture, &datePicture)), expected);
        ::SysFreeString(timePicture);
        ::SysFreeString(datePicture);
    }
    // The example the wording is built around, spelled out once.
    EXPECT_EQ(longDate(kSample) + " " + twelveHourTime(kSample),
              "Sunday, December 06, 2026 07:45:12 AM");
}

// ---------------------------------------------------------------------------
// The 64-byte part limit and refused records

// A picture whose text is n copies of 'x' (a quoted literal).
std::string literalOf(size_t n) {
    return "'" + std::string(n, 'x') + "'";
}

TEST(FormattingParts, PartOf64CharactersOrMoreIsEmptyButSeparatorStays) {
    struct Case {
        const char* name;
        SYSTEMTIME time;
        std::string timePicture, datePicture;
        std::string expected;
    };
    const SYSTEMTIME t = kSample;
    const std::string x63(63, 'x');
    const Case cases[] = {
        {"63-character date fits", t, "HH", literalOf(63), x63 + " 07"},
        {"64-character date is empty", t, "HH", literalOf(64), " 07"},
        {"long date is empty", t, "HH", literalOf(200), " 07"},
        {"63-character time fits", t, literalOf(63), "yyyy", "2026 " + x63},
        {"64-character time is empty", t, literalOf(64), "yyyy", "2026 "},
        {"both too long", t, literalOf(64), literalOf(64), " "},
        {"hour 25 has no time", civilTime(2026, 12, 6, 25, 0, 0), "HH", "yyyy", "2026 "},
        {"month 13 has no date", civilTime(2026, 13, 6, 7, 0, 0), "HH", "yyyy", " 07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string timePicture = c.timePicture, datePicture = c.datePicture;
        EXPECT_EQ(zymdate::formatTime(c.time, timePicture, datePicture), c.expected);

        SYSTEMTIME exportTime = c.time;
        TextVar timeVar(c.timePicture), dateVar(c.datePicture);
        EXPECT_EQ(takeBstr(FORMATTIME(&exportTime, &timeVar.b, &dateVar.b)), c.expected);
    }
}

TEST(FormattingParts, TooLongPartInPcTimeAndDateKeepsTheCallersSeparator) {
    TextVar date(literalOf(64)), time("'T'"), sep(" - ");
    int32_t utc = 0;
    EXPECT_EQ(takeBstr(GETPCTIMEANDDATE(&utc, &date.b, &time.b, &sep.b)), " - T");
    TextVar date2("'D'"), time2(literalOf(70));
    EXPECT_EQ(takeBstr(GETPCTIMEANDDATE(&utc, &date2.b, &time2.b, &sep.b)), "D - ");
}

TEST(FormattingParts, NullRecordFormatsAsAZeroFilledOne) {
    // No valid date; the time part is midnight.
    BSTR timePicture = tw::makeBstr("HH':'mm"), datePicture = tw::makeBstr("yyyy");
    EXPECT_EQ(takeBstr(FORMATTIME(nullptr, &timePicture, &datePicture)), " 00:00");
    ::SysFreeString(timePicture);
    ::SysFreeString(datePicture);
}

// ---------------------------------------------------------------------------
// The clock the formatter reads (fixed through the seams)

TEST(FormattingClock, UtcFlagChoosesSystemTimeElseLocalTime) {
    // Zones apart across a year end, so every field differs.
    const SYSTEMTIME utc = civilTime(2026, 12, 31, 23, 30, 15);
    const SYSTEMTIME local = civilTime(2027, 1, 1, 0, 30, 15);
    FixedClock clock(utc, local);
    struct Case {
        bool useUtc;
        const char* expected;
    };
    for (const Case& c : {Case{true, "2026-12-31 23:30:15"}, Case{false, "2027-01-01 00:30:15"}}) {
        std::string date = "yyyy'-'MM'-'dd", time = "HH':'mm':'ss", sep;
        EXPECT_EQ(zymdate::pcTimeAndDate(c.useUtc, date, time, sep), c.expected);
    }
    std::string time = "HH':'mm", date = "yyyy";
    EXPECT_EQ(zymdate::pcTime(time), "00:30") << "GETPCTIME reads local time";
    EXPECT_EQ(zymdate::pcDate(date), "2027") << "GETPCDATE reads local time";
}

TEST(FormattingClock, PcTimeAndDateWithDefaultsOfAFixedInstant) {
    const SYSTEMTIME local = civilTime(2024, 2, 29, 13, 5, 9);
    FixedClock clock(civilTime(2024, 2, 29, 12, 5, 9), local);
    std::string date, time, sep;
    EXPECT_EQ(zymdate::pcTimeAndDate(false, date, time, sep),
              longDate(local) + " " + twelveHourTime(local));
    EXPECT_EQ(date, kDateDefault);
    EXPECT_EQ(time, kTimeDefault);
    EXPECT_EQ(sep, " ");
}

TEST(FormattingClock, TimestampIsLocalMonthDayYearAndTwelveHourTime) {
    const SYSTEMTIME locals[] = {
        civilTime(2026, 12, 6, 7, 45, 12),   civilTime(2027, 1, 1, 0, 0, 0),
        civilTime(2024, 2, 29, 13, 5, 9),    civilTime(1999, 7, 4, 12, 0, 59),
        civilTime(2038, 10, 31, 23, 59, 59),
    };
    for (const SYSTEMTIME& local : locals) {
        // UTC one day and one hour away, so reading the wrong clock shows.
        FixedClock clock(civilTime(local.wYear - 1, 6, 15, (local.wHour + 1) % 24, 1, 1), local);
        const std::string expected =
            printed("%02u-%02u-%04u ", local.wMonth, local.wDay, local.wYear) +
            twelveHourTime(local);
        EXPECT_EQ(zymdate::timestamp(), expected);
    }
    FixedClock clock(SYSTEMTIME{}, civilTime(2026, 12, 6, 7, 45, 12));
    EXPECT_EQ(zymdate::timestamp(), "12-06-2026 07:45:12 AM");
}

TEST(FormattingClock, TimestampExportHasTheFixedShape) {
    const std::regex shape(R"(^\d\d-\d\d-\d{4} \d\d:\d\d:\d\d (AM|PM)$)");
    const std::string text = takeBstr(TIMESTAMP());
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
}

// ---------------------------------------------------------------------------
// USTRING

std::string widenedByHand(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST(FormattingUstring, EachByteBecomesALowByteFollowedByZero) {
    struct Case {
        std::string in, out;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"abc", "a\0b\0c\0"s},
        {"\xE9", "\xE9\0"s},
        {"\xFF\x80\x01", "\xFF\0\x80\0\x01\0"s},
        {"a\0b"s, "a\0\0\0b\0"s},
        {"", ""},
    };
    for (const Case& c : cases) {
        TextVar in(c.in);
        BSTR result = USTRING(in.b);
        EXPECT_EQ(::SysStringByteLen(result), c.out.size());
        EXPECT_EQ(takeBstr(result), c.out);
    }
    EXPECT_EQ(takeBstr(USTRING(nullptr)), "");
}

TEST(FormattingUstring, TextsBeyondSixteenBitPositionsAreWidenedWhole) {
    for (const size_t length : {size_t{32767}, size_t{32768}, size_t{65537}, size_t{100000}}) {
        std::string bytes(length, '\0');
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<char>(1 + i % 251);
        TextVar in(bytes);
        const std::string out = takeBstr(USTRING(in.b));
        ASSERT_EQ(out.size(), 2 * length);
        EXPECT_EQ(out, widenedByHand(bytes)) << "length " << length;
    }
}

// ---------------------------------------------------------------------------
// Date texts and variant dates

// The variant date of a civil date and time: days since 30 December 1899, the
// time of day as the magnitude of the fraction (so before 1899 it counts away from 0).
double variantDate(int y, unsigned m, unsigned d, unsigned h, unsigned mi, unsigned s) {
    const auto days = static_cast<double>(daysFromCivil(y, m, d) - kVariantEpochDays);
    const double fraction = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    return days < 0 ? days - fraction : days + fraction;
}

constexpr double kHalfSecond = 0.5 / 86400.0;

TEST(FormattingDateText, UnreadableTextIsZero) {
    const char* const texts[] = {"", "not a date", "13/13/2000", "2/30/2001", "12:61", "1/1/"};
    for (const char* text : texts) {
        TextVar in(text);
        EXPECT_EQ(STRTOVBDATE(in.b), 0.0) << text;
    }
    EXPECT_EQ(STRTOVBDATE(nullptr), 0.0);
}

TEST(FormattingDateText, IsoTextGivesTheExactVariantDate) {
    TextVar in("2002-01-15 06:21:59");
    EXPECT_NEAR(STRTOVBDATE(in.b), variantDate(2002, 1, 15, 6, 21, 59), 1e-9);
    EXPECT_NEAR(zymdate::strToVbDate("2002-01-15 06:21:59"),
                37271 + (6 * 3600 + 21 * 60 + 59) / 86400.0, 1e-9);
}

TEST(FormattingDateText, TextBeyondTheDateRangeIsNeverTakenForADate) {
    // Windows reports these as overflow (-1), Wine as unreadable (0); both are
    // the documented "not a date" markers.
    for (const char* text : {"1/1/10000", "12/32/9999", "10000-01-01"}) {
        TextVar in(text);
        const double d = STRTOVBDATE(in.b);
        EXPECT_TRUE(d == 0.0 || d == -1.0) << text << " gave " << d;
    }
}

TEST(FormattingDateText, ParserStatusMapsToDateOrMarker) {
    struct Case {
        HRESULT status;
        double expected;
    };
    const double parsed = 37271.25;
    const Case cases[] = {
        {S_OK, parsed},       {DISP_E_TYPEMISMATCH, 0.0}, {DISP_E_OVERFLOW, -1.0},
        {E_OUTOFMEMORY, 0.0}, {E_INVALIDARG, 0.0},        {S_FALSE, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zymdate::variantDateFromParse(c.status, parsed), c.expected)
            << std::hex << c.status;
}

// VBDATETOSTR's form follows the user's short date and time; these tests
// are written for en-US, which the runner pins.
void expectEnUsLocale() {
    char shortDate[80] = {}, timeFormat[80] = {};
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, shortDate, sizeof shortDate);
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, timeFormat, sizeof timeFormat);
    ASSERT_STREQ(shortDate, "M/d/yyyy");
    ASSERT_STREQ(timeFormat, "h:mm:ss tt");
}

// "M/d/yyyy" and "h:mm:ss tt" forced to 24 hours: the marker stays, as on Windows.
std::string enUsShortDateAnd24HourTime(int y, unsigned m, unsigned d, unsigned h, unsigned mi,
                                       unsigned s) {
    return printed("%u/%u/%d %u:%02u:%02u %s", m, d, y, h, mi, s, h < 12 ? "AM" : "PM");
}

TEST(FormattingDateText, VbDateToStrOfZeroIsMidnightOf30December1899) {
    expectEnUsLocale();
    EXPECT_EQ(takeBstr(VBDATETOSTR(0.0)), "12/30/1899 0:00:00 AM");
    EXPECT_EQ(takeBstr(VBDATETOSTR(0.0)), enUsShortDateAnd24HourTime(1899, 12, 30, 0, 0, 0));
}

TEST(FormattingDateText, VbDateToStrOfARejectedValueHasNoDateAndMidnight) {
    expectEnUsLocale();
    for (const double d : {3.0e6, -1.0e6, 1.0e300})
        EXPECT_EQ(takeBstr(VBDATETOSTR(d)), " 0:00:00 AM") << d;
}

TEST(FormattingDateText, VbDateToStrAndStrToVbDateRoundTripToTheSecond) {
    expectEnUsLocale();
    struct Instant {
        int y;
        unsigned m, d, h, mi, s;
    };
    std::vector<Instant> instants = {
        {1601, 1, 1, 0, 0, 0},      {1899, 12, 29, 6, 0, 0},  {1899, 12, 30, 12, 0, 0},
        {1899, 12, 31, 23, 59, 59}, {1900, 2, 28, 1, 2, 3},   {1900, 3, 1, 4, 5, 6},
        {2000, 2, 29, 12, 30, 0},   {2002, 1, 15, 6, 21, 59}, {2038, 1, 19, 3, 14, 8},
        {9999, 12, 31, 23, 59, 59},
    };
    // A sweep over the formatter's whole range, each day with a different time of day.
    const int64_t first = daysFromCivil(1601, 1, 2), last = daysFromCivil(9999, 12, 30);
    for (int64_t day = first, k = 0; day <= last; day += 1009, ++k) {
        const CivilDate c = civilFromDays(day);
        const auto secondOfDay = static_cast<unsigned>((k * 40503) % 86400);
        instants.push_back({static_cast<int>(c.year), c.month, c.day, secondOfDay / 3600,
                            secondOfDay / 60 % 60, secondOfDay % 60});
    }
    for (const Instant& i : instants) {
        const double d = variantDate(i.y, i.m, i.d, i.h, i.mi, i.s);
        const std::string text = takeBstr(VBDATETOSTR(d));
        ASSERT_EQ(text, enUsShortDateAnd24HourTime(i.y, i.m, i.d, i.h, i.mi, i.s)) << d;
        TextVar in(text);
        EXPECT_NEAR(STRTOVBDATE(in.b), d, kHalfSecond) << text;
    }
}

// ---------------------------------------------------------------------------
// A zone where local time is UTC + 1 hour (run with TZ=Etc/GMT-1)

int64_t minutesSince1970(const SYSTEMTIME& t) {
    return daysFromCivil(t.wYear, t.wMonth, t.wDay) * 1440 + t.wHour * 60 + t.wMinute;
}

std::string yearToMinute(int64_t minutes) {
    const int64_t days = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
    const int64_t minuteOfDay = minutes - days * 1440;
    const CivilDate c = civilFromDays(days);
    return printed("%04d-%02u-%02u %02d:%02d", static_cast<int>(c.year), c.month, c.day,
                   static_cast<int>(minuteOfDay / 60), static_cast<int>(minuteOfDay % 60));
}

TEST(TzFormattingGmtMinus1, UtcFlagFormatsSystemTimeElseLocalTime) {
    TIME_ZONE_INFORMATION zone{};
    ::GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -60) << "this suite needs TZ=Etc/GMT-1";
    // The clock is real here: read it around the calls and retry should a
    // minute begin in between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        SYSTEMTIME before{}, after{};
        ::GetSystemTime(&before);
        TextVar date("yyyy'-'MM'-'dd"), time("HH':'mm"), sep(" ");
        int32_t useUtc = 1, useLocal = 0;
        const std::string utcText = takeBstr(GETPCTIMEANDDATE(&useUtc, &date.b, &time.b, &sep.b));
        const std::string localText =
            takeBstr(GETPCTIMEANDDATE(&useLocal, &date.b, &time.b, &sep.b));
        const std::string pcTime = takeBstr(GETPCTIME(&time.b));
        ::GetSystemTime(&after);
        const int64_t minute = minutesSince1970(before);
        if (minutesSince1970(after) != minute)
            continue;
        EXPECT_EQ(utcText, yearToMinute(minute));
        EXPECT_EQ(localText, yearToMinute(minute + 60));
        EXPECT_EQ(pcTime, yearToMinute(minute + 60).substr(11));
        return;
    }
    FAIL() << "the minute kept changing during the calls";
}

} // namespace
