// The Daytime line in the NIST layout and the Time protocol value, built from
// fixed times and zone states, and from the PC clock through the exports.
#include <gtest/gtest.h>

#include "clock/pc_clock_seam.h"
#include "time_server/time_server_clock.h"
#include "time_server/time_server_texts.h"
#include "time_support.h"
#include "zymdate.h"

#include "tw/bstr.h"
#include "tw/filetime.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using zymdate::ZoneTime;
using zymdate::test::daysFromCivil;

// Modified Julian days count from 17 November 1858, 40587 days before 1970.
constexpr int64_t kModifiedJulianDayOf1970 = 40587;

int64_t modifiedJulianDay(int y, unsigned m, unsigned d) {
    return daysFromCivil(y, m, d) + kModifiedJulianDayOf1970;
}

// A UTC record (the weekday does not enter the line or the count).
SYSTEMTIME utcTime(int year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0,
                   unsigned second = 0) {
    return zymdate::test::civilTime(year, month, day, hour, minute, second);
}

std::string line(const SYSTEMTIME& t, ZoneTime zone, int32_t leap = 0, double advance = 716.2) {
    return zymdate::nistLine(t, zone, leap, advance);
}

// Character positions of the layout, 1-based as servers document them.
std::string field(const std::string& s, size_t first, size_t last) {
    return s.size() >= last ? s.substr(first - 1, last - first + 1) : std::string("<short>");
}

// --- the Daytime line --------------------------------------------------------

TEST(NistLine, StatedExample) {
    const std::string s = line(utcTime(2002, 1, 15, 6, 21, 59), ZoneTime::Standard);
    EXPECT_EQ(s, "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) *");
    EXPECT_EQ(field(s, 1, 5), "52289");
    EXPECT_EQ(field(s, 7, 14), "02-01-15");
    EXPECT_EQ(field(s, 16, 23), "06:21:59");
    EXPECT_EQ(field(s, 25, 26), "00");
    EXPECT_EQ(field(s, 28, 28), "0");
    EXPECT_EQ(field(s, 30, 30), "0"); // health digit where the query reads it
}

// The TT field counts down the days to the change in the month of a change.
TEST(NistLine, DaylightSavingCode) {
    struct Case {
        SYSTEMTIME utc;
        ZoneTime zone;
        const char* code;
    } const cases[] = {
        {utcTime(2002, 10, 20), ZoneTime::Daylight, "07"}, // last Sunday: 27th
        {utcTime(2002, 10, 26), ZoneTime::Daylight, "01"},
        {utcTime(2002, 10, 27), ZoneTime::Daylight, "50"}, // the day itself
        {utcTime(2002, 10, 31), ZoneTime::Daylight, "50"},
        {utcTime(2002, 10, 1), ZoneTime::Daylight, "26"},
        {utcTime(2002, 9, 30), ZoneTime::Daylight, "50"},
        {utcTime(2002, 4, 2), ZoneTime::Daylight, "50"},
        {utcTime(2006, 10, 1), ZoneTime::Daylight, "28"}, // last Sunday: 29th
        {utcTime(2002, 4, 2), ZoneTime::Standard, "05"},  // first Sunday: 7th
        {utcTime(2002, 4, 7), ZoneTime::Standard, "00"},
        {utcTime(2002, 4, 30), ZoneTime::Standard, "00"},
        {utcTime(2001, 4, 1), ZoneTime::Standard, "00"}, // April starts on the Sunday
        {utcTime(2002, 10, 20), ZoneTime::Standard, "00"},
        {utcTime(2002, 10, 20), ZoneTime::Unknown, "00"}, // no zone information
        {utcTime(2002, 4, 2), ZoneTime::Unknown, "00"},
        {utcTime(2002, 7, 1), ZoneTime::Unknown, "00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zymdate::daylightSavingCode(c.utc, c.zone), c.code)
            << c.utc.wYear << "-" << c.utc.wMonth << "-" << c.utc.wDay;
        EXPECT_EQ(field(line(c.utc, c.zone), 25, 26), c.code);
    }
}

TEST(NistLine, AdvanceAndFlag) {
    double advance = 0;
    const std::string s = zymdate::nistLine(utcTime(2002, 1, 15), ZoneTime::Unknown, 0, advance);
    EXPECT_EQ(advance, 50.0) << "the caller's advance of 0 becomes the default";
    EXPECT_NE(s.find(" 0 0 050.0 UTC(NIST) *"), std::string::npos) << s;

    // Ties are decided on the decimal digits the caller wrote (12.35 is
    // 12.3499999999999996 in binary), half away from zero.
    struct Case {
        double advance;
        const char* text;
    } const cases[] = {
        {716.2, "716.2"},  {1234.5, "1234.5"}, {5, "005.0"},
        {0.04, "000.0"},   {99.96, "100.0"},   {12.34, "012.3"},
        {-3.5, "-003.5"},  {999.99, "1000.0"}, {1e20, "100000000000000000000.0"},
        {12.35, "012.4"},  {0.35, "000.4"},    {1.45, "001.5"},
        {0.15, "000.2"},   {-0.35, "-000.4"},  {716.25, "716.3"},
        {-0.01, "-000.0"}, {0.0, "000.0"},     {1.2345678901234568e+20, "123456789012346000000.0"}};
    for (const Case& c : cases)
        EXPECT_EQ(zymdate::advanceText(c.advance), c.text) << c.advance;
    // The extremes of a double: 309 digits before the point, and a subnormal.
    EXPECT_EQ(zymdate::advanceText(std::numeric_limits<double>::max()),
              "179769313486232" + std::string(294, '0') + ".0");
    EXPECT_EQ(zymdate::advanceText(std::numeric_limits<double>::denorm_min()), "000.0");

    EXPECT_EQ(field(line(utcTime(2002, 1, 15), ZoneTime::Unknown, 1), 28, 28), "1");
    EXPECT_NE(line(utcTime(2002, 1, 15), ZoneTime::Unknown, -1).find(" 00 -1 0 "),
              std::string::npos);
}

// The platform's own number picture "000.0" (VarFormat, en-US pinned by the
// runner) is the reference: every hundredth and some thousandths, both signs.
std::string platformPicture(double value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    BSTR out = nullptr;
    if (FAILED(::VarFormat(&v, const_cast<LPOLESTR>(L"000.0"), 0, 0, 0, &out)))
        return "<VarFormat failed>";
    std::string text;
    for (UINT i = 0; i < ::SysStringLen(out); ++i)
        text += static_cast<char>(out[i]);
    ::SysFreeString(out);
    return text;
}

TEST(NistLine, AdvanceRoundsAsThePlatformsNumberPicture) {
    std::vector<double> values;
    for (int k = -3000; k <= 30000; ++k)
        values.push_back(k / 100.0);
    for (int k = 0; k <= 3000; ++k)
        values.push_back(k / 1000.0 + 100);
    for (double v : {99.949999999999989, 999999999999999.9, 1e15 + 0.25, 0.3000000000000000444})
        values.push_back(v);
    int mismatches = 0;
    for (double v : values) {
        const std::string want = platformPicture(v);
        if (zymdate::advanceText(v) != want && ++mismatches <= 10)
            ADD_FAILURE() << v << ": " << zymdate::advanceText(v) << ", platform " << want;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NistLine, EndingForServers) {
    double advance = 716.2;
    const std::string own = zymdate::nistLine(utcTime(2002, 1, 15), ZoneTime::Unknown, 0, advance);
    const std::string served = zymdate::nistLine(utcTime(2002, 1, 15), ZoneTime::Unknown, 0,
                                                 advance, zymdate::kNistServerLineEnding);
    EXPECT_NE(own.substr(own.size() - 2), "* ") << "the library's own line is no server reply";
    EXPECT_EQ(served.substr(served.size() - 2), "* ");
    EXPECT_EQ(served, own + " ");
}

// Field 1 against an independent day count, for every day of two centuries.
TEST(NistLine, ModifiedJulianDayEveryDay1900To2100) {
    for (int64_t days = daysFromCivil(1900, 1, 1); days <= daysFromCivil(2100, 12, 31); ++days) {
        const zymdate::test::CivilDate d = zymdate::test::civilFromDays(days);
        const SYSTEMTIME t = utcTime(static_cast<WORD>(d.year), static_cast<WORD>(d.month),
                                     static_cast<WORD>(d.day), 12);
        const std::string s = line(t, ZoneTime::Unknown);
        ASSERT_EQ(s.substr(0, s.find(' ')), std::to_string(days + kModifiedJulianDayOf1970))
            << d.year << "-" << d.month << "-" << d.day;
    }
}

// --- the Time protocol value -------------------------------------------------

TEST(Rfc868Value, EpochWrapAndKnownTimes) {
    EXPECT_EQ(zymdate::rfc868Value(utcTime(1900, 1, 1)), 0u);
    EXPECT_EQ(zymdate::rfc868Value(utcTime(1900, 1, 1, 0, 0, 1)), 1u);
    EXPECT_EQ(zymdate::rfc868Value(utcTime(2002, 1, 15, 6, 21, 59)), 3220064519u);
    EXPECT_EQ(zymdate::rfc868Value(utcTime(2036, 2, 7, 6, 28, 15)), 0xFFFFFFFFu);
    EXPECT_EQ(zymdate::rfc868Value(utcTime(2036, 2, 7, 6, 28, 16)), 0u);
    EXPECT_EQ(zymdate::rfc868Value(utcTime(2036, 2, 7, 6, 28, 17)), 1u);
}

TEST(Rfc868Value, EveryMonthAgainstIndependentDayCount) {
    const int64_t epoch = daysFromCivil(1900, 1, 1);
    for (WORD year = 1601; year <= 9999; year += 7)
        for (WORD month = 1; month <= 12; ++month) {
            const int64_t seconds =
                (daysFromCivil(year, month, 28) - epoch) * 86400 + 23 * 3600 + 59 * 60 + 58;
            ASSERT_EQ(zymdate::rfc868Value(utcTime(year, month, 28, 23, 59, 58)),
                      static_cast<uint32_t>(seconds))
                << year << "-" << month;
        }
}

// --- from the PC clock -------------------------------------------------------

DWORD priorityWhileReadingClock = 0;
void WINAPI fixedUtcClock(LPSYSTEMTIME st) {
    priorityWhileReadingClock = ::GetPriorityClass(::GetCurrentProcess());
    *st = utcTime(2002, 1, 15, 6, 21, 59);
}

TEST(NistClock, ReadsTheClockAtHighPriority) {
    zymdate::PcClockSeam s = zymdate::pcClock();
    s.getSystemTime = fixedUtcClock;
    tw::ScopedSeam<zymdate::PcClockSeam> scoped(s);
    const DWORD own = ::GetPriorityClass(::GetCurrentProcess());
    ::SetPriorityClass(::GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
    double advance = 716.2;
    const std::string text = zymdate::sysTimeToNistTime(0, advance);
    const DWORD after = ::GetPriorityClass(::GetCurrentProcess());
    ::SetPriorityClass(::GetCurrentProcess(), own);
    EXPECT_EQ(priorityWhileReadingClock, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(after, static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS)) << "the class it had";
    // The main test run has TZ=UTC: no daylight rules, so TT is 00.
    EXPECT_EQ(text, "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) *");
    EXPECT_EQ(zymdate::rfc868Time(), 3220064519u);
}

using tw::takeBstr;

std::string twoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// The export's line read back by the layout's field positions.
TEST(NistClock, ExportLineParsesByFieldPositions) {
    int32_t leap = 0;
    double advance = 0;
    SYSTEMTIME before{}, after{};
    ::GetSystemTime(&before);
    const std::string s = takeBstr(STTONISTTIME(&leap, &advance));
    ::GetSystemTime(&after);
    EXPECT_EQ(advance, 50.0);
    ASSERT_GE(s.size(), 44u) << s;
    bool matchesAClockReading = false;
    for (const SYSTEMTIME& t : {before, after}) {
        const std::string date =
            twoDigits(t.wYear % 100) + "-" + twoDigits(t.wMonth) + "-" + twoDigits(t.wDay);
        if (field(s, 1, 5) == std::to_string(modifiedJulianDay(t.wYear, t.wMonth, t.wDay)) &&
            field(s, 7, 14) == date && field(s, 16, 17) == twoDigits(t.wHour))
            matchesAClockReading = true;
    }
    EXPECT_TRUE(matchesAClockReading) << s;
    EXPECT_EQ(field(s, 6, 6), " ");
    EXPECT_EQ(field(s, 18, 18), ":");
    EXPECT_EQ(field(s, 21, 21), ":");
    EXPECT_EQ(field(s, 25, 26), "00") << "TZ=UTC has no daylight rules";
    EXPECT_EQ(field(s, 28, 28), "0");
    EXPECT_EQ(field(s, 30, 30), "0");
    EXPECT_EQ(s.substr(31), "050.0 UTC(NIST) *");
    EXPECT_NE(s.substr(s.size() - 2), "* ");

    EXPECT_EQ(takeBstr(STTONISTTIME(nullptr, nullptr)).substr(26), " 0 0 050.0 UTC(NIST) *");
}

TEST(Rfc868Clock, ExportNearIndependentCount) {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const auto expected =
        static_cast<uint32_t>((tw::toUnits(ft) - tw::kUnitsFrom1601To1900) / tw::kUnitsPerSecond);
    const uint32_t value = RFC868TIME();
    EXPECT_LE(value - expected, 2u) << value << " vs " << expected; // unsigned: wraps alike
}

} // namespace
