// The local-time texts of the time service: the Internet message date with
// its zone offset (under several zones) and the next-check time.
#include <gtest/gtest.h>

#include "formatting/formatting.h"
#include "time_server/time_server_clock.h"
#include "time_server/time_server_texts.h"
#include "time_support.h"
#include "zymdate.h"

#include "tw/bstr.h"
#include "tw/filetime.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {

using zymdate::ZoneTime;
using zymdate::test::civilTime;

using tw::takeBstr;

std::string twoDigits(unsigned v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// What an Internet date of a local time reads, from the test's own tables.
std::string expectedInetDate(const SYSTEMTIME& t) {
    return zymdate::test::weekdayName(t.wDayOfWeek).substr(0, 3) + ", " + std::to_string(t.wDay) +
           " " + zymdate::test::monthName(t.wMonth).substr(0, 3) + " " + std::to_string(t.wYear) +
           " " + twoDigits(t.wHour) + ":" + twoDigits(t.wMinute) + ":" + twoDigits(t.wSecond);
}

int64_t minutesOf(const SYSTEMTIME& t) {
    constexpr int64_t kUnitsPerMinute = 60 * tw::kUnitsPerSecond;
    return (tw::systemTimeToUnits(t) + kUnitsPerMinute / 2) / kUnitsPerMinute; // rounded
}

// The offset the PC is really at, from its two clocks: "+0100" east of UTC.
std::string offsetFromClocks() {
    SYSTEMTIME utc{}, local{};
    ::GetSystemTime(&utc);
    ::GetLocalTime(&local);
    const int64_t east = minutesOf(local) - minutesOf(utc);
    const int64_t m = east < 0 ? -east : east;
    const std::string digits = std::to_string((m / 60) * 100 + m % 60);
    return (east > 0 ? "+" : "-") + std::string(4 - digits.size(), '0') + digits;
}

// INETTIME of now: the date part matches a reading of the local clock and
// the zone part the offset between local and UTC clocks.
void checkInetTimeExport() {
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    const std::string text = takeBstr(INETTIME());
    ::GetLocalTime(&after);
    ASSERT_GT(text.size(), 6u) << text;
    const std::string datePart = text.substr(0, text.size() - 6);
    EXPECT_TRUE(datePart == expectedInetDate(before) || datePart == expectedInetDate(after))
        << text;
    EXPECT_EQ(text.substr(text.size() - 6), " " + offsetFromClocks()) << text;
}

// --- Internet date -------------------------------------------------------------

TEST(InetText, StatedExampleAndOffsets) {
    const SYSTEMTIME local = civilTime(2002, 1, 15, 1, 21, 59);
    EXPECT_EQ(zymdate::inetText(local, 300), "Tue, 15 Jan 2002 01:21:59 -0500");
    struct Case {
        int32_t bias;
        const char* zone;
    } const cases[] = {
        {0, "-0000"},    {-60, "+0100"}, {-330, "+0530"},           {-345, "+0545"}, {210, "-0330"},
        {-840, "+1400"}, {720, "-1200"}, {INT32_MIN, "+3579139408"}}; // absurd bias: no overflow
    for (const Case& c : cases)
        EXPECT_EQ(zymdate::inetZoneText(c.bias), c.zone) << c.bias;
    // 24-hour clock, one-digit day without a leading zero.
    EXPECT_EQ(zymdate::inetText(civilTime(2026, 12, 6, 19, 5, 7), -60),
              "Sun, 6 Dec 2026 19:05:07 +0100");
}

TEST(InetText, BiasInEffect) {
    // New York: 300 minutes west, daylight time an hour less.
    EXPECT_EQ(zymdate::biasInEffect(300, 0, -60, ZoneTime::Daylight), 240);
    EXPECT_EQ(zymdate::biasInEffect(300, 0, -60, ZoneTime::Standard), 300);
    EXPECT_EQ(zymdate::biasInEffect(300, 0, -60, ZoneTime::Unknown), 300);
    EXPECT_EQ(zymdate::biasInEffect(-60, 0, -60, ZoneTime::Unknown), -60);
    EXPECT_EQ(zymdate::biasInEffect(-600, 0, -60, ZoneTime::Daylight), -660); // Sydney in summer
    EXPECT_EQ(zymdate::biasInEffect(300, 15, -60, ZoneTime::Standard), 315);
}

TEST(InetText, FromTheLocalClock) {
    zymdate::test::FixedClock clock(civilTime(2002, 1, 15, 6, 21, 59),
                                    civilTime(2002, 1, 15, 1, 21, 59));
    const std::string text = zymdate::inetTime();
    ASSERT_GT(text.size(), 6u);
    EXPECT_EQ(text.substr(0, text.size() - 6), "Tue, 15 Jan 2002 01:21:59");
}

TEST(InetText, ExportUnderUtc) {
    checkInetTimeExport();
}

// Each zone run starts its own process: Wine reads TZ at start-up.
TEST(TzInetGmtMinus1, ExportIsOneHourEast) {
    checkInetTimeExport();
    const std::string text = takeBstr(INETTIME());
    EXPECT_EQ(text.substr(text.size() - 6), " +0100");
}

TEST(TzInetNewYork, ExportShowsTheOffsetInEffect) {
    checkInetTimeExport();
    const std::string text = takeBstr(INETTIME());
    const std::string zone = text.substr(text.size() - 5);
    EXPECT_TRUE(zone == "-0500" || zone == "-0400") << text;
}

// --- next check time -------------------------------------------------------------

double variantDateOf(const SYSTEMTIME& t) {
    return static_cast<double>(zymdate::test::daysFromCivil(t.wYear, t.wMonth, t.wDay) -
                               zymdate::test::kVariantEpochDays) +
           (t.wHour * 3600 + t.wMinute * 60 + t.wSecond) / 86400.0;
}

constexpr double kHalfSecond = 0.5 / 86400;

TEST(NextCheckText, MinutesFromAFixedTime) {
    const SYSTEMTIME local = civilTime(2002, 1, 15, 23, 21, 59, 999);
    struct Case {
        int32_t minutes;
        SYSTEMTIME expected;
    } const cases[] = {
        {0, civilTime(2002, 1, 15, 23, 21, 59)}, // milliseconds dropped, not rounded
        {1440, civilTime(2002, 1, 16, 23, 21, 59)},
        {30, civilTime(2002, 1, 15, 23, 51, 59)},
        {60, civilTime(2002, 1, 16, 0, 21, 59)},
        {-1440 * 15, civilTime(2001, 12, 31, 23, 21, 59)},
        {43200, civilTime(2002, 2, 14, 23, 21, 59)}, // 30 days
    };
    for (const Case& c : cases) {
        const std::string text = zymdate::nextCheckText(local, c.minutes);
        EXPECT_NEAR(zymdate::strToVbDate(text), variantDateOf(c.expected), kHalfSecond / 10)
            << c.minutes << " minutes: " << text;
    }
}

// A user whose short date puts the day first still gets 3 February, not
// 2 March: the month-day order must not pass through the date parser.
TEST(SerialLocaleNextCheckText, DayFirstShortDateKeepsDayAndMonth) {
    const SYSTEMTIME local = civilTime(2002, 2, 3, 10, 0, 0);
    std::string text;
    double readBack = 0;
    {
        zymdate::test::UserLocaleSetting dayFirst(LOCALE_SSHORTDATE, "dd/MM/yyyy");
        ASSERT_TRUE(dayFirst.changed());
        text = zymdate::nextCheckText(local, 60);
        readBack = zymdate::strToVbDate(text);
    }
    EXPECT_NEAR(readBack, variantDateOf(civilTime(2002, 2, 3, 11, 0, 0)), kHalfSecond / 10) << text;
}

TEST(NextCheckText, ExportOneDayApart) {
    int32_t zero = 0, day = 1440;
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    before.wMilliseconds = 0;
    tw::unique_bstr now(SETNEXTCHECKTIME(&zero));
    tw::unique_bstr tomorrow(SETNEXTCHECKTIME(&day));
    const double a = STRTOVBDATE(now.get());
    const double b = STRTOVBDATE(tomorrow.get());
    // The two calls may fall in different seconds.
    EXPECT_NEAR(b - a, 1.0, 1.5 / 86400)
        << tw::fromBstr(now.get()) << " / " << tw::fromBstr(tomorrow.get());
    EXPECT_GE(a, variantDateOf(before) - kHalfSecond / 10);
    EXPECT_LE(a, variantDateOf(before) + 2.0 / 86400);
    EXPECT_EQ(std::fmod(std::round(a * 86400 * 1000), 1000.0), 0.0) << "whole seconds only";
}

} // namespace
