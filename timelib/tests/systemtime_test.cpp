// SYSTEMTIME arithmetic, zone conversion and date-text distances. Expected
// records come from the tests' own calendar arithmetic.
#include "systemtime/systemtime.h"
#include "time_support.h"
#include "tw/bstr.h"
#include "tw/handles.h"
#include "zymdate.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

using namespace zymdate::test;

// ---------------------------------------------------------------------------
// Stepping by milliseconds

TEST(SystemTimeStep, ExamplesWithCarryAndBorrow) {
    SYSTEMTIME t = civilTime(2026, 12, 31, 23, 59, 59, 900);
    INCRSYSTEMTIME(&t, 200);
    EXPECT_EQ(t.wYear, 2027);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wDayOfWeek, 5) << "1 January 2027 is a Friday";
    EXPECT_EQ(t.wHour, 0);
    EXPECT_EQ(t.wMinute, 0);
    EXPECT_EQ(t.wSecond, 0);
    EXPECT_EQ(t.wMilliseconds, 100);

    SYSTEMTIME leap = civilTime(2024, 3, 1);
    INCRSYSTEMTIME(&leap, -1000);
    EXPECT_TRUE(sameRecord(leap, civilTime(2024, 2, 29, 23, 59, 59))) << describe(leap);
}

TEST(SystemTimeStep, IncrAddsAndDecrSubtractsExactlyTheCount) {
    const SYSTEMTIME starts[] = {
        civilTime(2026, 6, 15, 12, 0, 0),         civilTime(2026, 12, 31, 23, 59, 59, 900),
        civilTime(2024, 2, 29, 0, 0, 0, 1),       civilTime(1601, 2, 1, 0, 0, 0),
        civilTime(9999, 11, 30, 23, 59, 59, 999),
    };
    const int32_t counts[] = {0,       200,      -1000,     214748,    214749,   300000,
                              -300000, 86400000, -86400000, INT32_MAX, INT32_MIN};
    for (const SYSTEMTIME& start : starts) {
        for (const int32_t count : counts) {
            SCOPED_TRACE(describe(start) + " by " + std::to_string(count));
            const int64_t ms = millisecondsSince1970(start);
            SYSTEMTIME incr = start;
            INCRSYSTEMTIME(&incr, count);
            const SYSTEMTIME later = systemTimeFromMilliseconds(ms + count);
            EXPECT_TRUE(sameRecord(incr, later)) << describe(incr);

            SYSTEMTIME decr = start;
            DECRSYSTEMTIME(&decr, count);
            const SYSTEMTIME earlier = systemTimeFromMilliseconds(ms - int64_t{count});
            EXPECT_TRUE(sameRecord(decr, earlier)) << describe(decr);
        }
    }
}

TEST(SystemTimeStep, RejectedRecordCountsAsThe1601Epoch) {
    SYSTEMTIME t = civilTime(2026, 13, 1);
    INCRSYSTEMTIME(&t, 1000);
    EXPECT_TRUE(sameRecord(t, civilTime(1601, 1, 1, 0, 0, 1))) << describe(t);

    SYSTEMTIME before1601 = civilTime(2026, 13, 1);
    const SYSTEMTIME original = before1601;
    INCRSYSTEMTIME(&before1601, -1000);
    EXPECT_TRUE(sameRecord(before1601, original)) << "no record exists before 1601";
}

// The last instant a FILETIME can name (30828-09-14 02:48:05.477). Wine converts
// it to a count, and a step past it must leave the record, not wrap round;
// Windows rejects the year, so the record counts as 1601.
TEST(SystemTimeStep, StepPastTheLastFileTimeLeavesTheRecord) {
    const FILETIME last{0xFFFFFFFFu, 0x7FFFFFFFu};
    SYSTEMTIME end{};
    ASSERT_TRUE(::FileTimeToSystemTime(&last, &end));
    FILETIME back{};
    const bool platformTakesIt = ::SystemTimeToFileTime(&end, &back) != FALSE;
    for (const int32_t count : {1, 1000, INT32_MAX}) {
        SYSTEMTIME t = end;
        INCRSYSTEMTIME(&t, count);
        const SYSTEMTIME expected =
            platformTakesIt
                ? end
                : systemTimeFromMilliseconds(millisecondsSince1970(civilTime(1601, 1, 1)) + count);
        EXPECT_TRUE(sameRecord(t, expected)) << count << " gave " << describe(t);
    }
    SYSTEMTIME t = end;
    DECRSYSTEMTIME(&t, 1000);
    if (platformTakesIt) {
        EXPECT_TRUE(sameRecord(t, systemTimeFromMilliseconds(millisecondsSince1970(end) - 1000)))
            << describe(t);
    }
}

// ---------------------------------------------------------------------------
// Zones

TEST(SystemTimeZone, UtcZoneLeavesRecordsUnchanged) {
    TIME_ZONE_INFORMATION zone{};
    ::GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, 0) << "this suite runs with TZ=UTC";
    for (const SYSTEMTIME& t : {civilTime(2026, 12, 31, 23, 30, 0, 5), civilTime(2024, 7, 1, 12)}) {
        SYSTEMTIME local{}, utc{};
        CONVERTTOLOCALTIME(const_cast<SYSTEMTIME*>(&t), &local);
        CONVERTTOGMTTIME(const_cast<SYSTEMTIME*>(&t), &utc);
        EXPECT_TRUE(sameRecord(local, t)) << describe(local);
        EXPECT_TRUE(sameRecord(utc, t)) << describe(utc);
    }
}

// Run with TZ=Etc/GMT-1: local time is UTC + 1 hour all year.
class TzSystemTimeGmtMinus1 : public ::testing::Test {
  protected:
    void SetUp() override {
        TIME_ZONE_INFORMATION zone{};
        ::GetTimeZoneInformation(&zone);
        ASSERT_EQ(zone.Bias, -60) << "this suite needs TZ=Etc/GMT-1";
    }
};

TEST_F(TzSystemTimeGmtMinus1, UtcBecomesLocalOneHourLaterAcrossAYearEnd) {
    SYSTEMTIME utc = civilTime(2026, 12, 31, 23, 30);
    SYSTEMTIME local{};
    CONVERTTOLOCALTIME(&utc, &local);
    EXPECT_TRUE(sameRecord(local, civilTime(2027, 1, 1, 0, 30))) << describe(local);
    EXPECT_EQ(local.wDayOfWeek, 5);

    SYSTEMTIME back{};
    CONVERTTOGMTTIME(&local, &back);
    EXPECT_TRUE(sameRecord(back, utc)) << describe(back);
}

TEST_F(TzSystemTimeGmtMinus1, SourceMayBeItsOwnTarget) {
    SYSTEMTIME t = civilTime(2026, 12, 31, 23, 30, 0, 250);
    CONVERTTOLOCALTIME(&t, &t);
    EXPECT_TRUE(sameRecord(t, civilTime(2027, 1, 1, 0, 30, 0, 250))) << describe(t);
    CONVERTTOGMTTIME(&t, &t);
    EXPECT_TRUE(sameRecord(t, civilTime(2026, 12, 31, 23, 30, 0, 250))) << describe(t);
}

TEST_F(TzSystemTimeGmtMinus1, LocalAndGmtConversionsAreInverseOverManyDates) {
    const int64_t first = millisecondsSince1970(civilTime(1601, 1, 1, 0, 0, 0));
    const int64_t last = millisecondsSince1970(civilTime(9999, 12, 31, 22, 0, 0));
    for (int64_t ms = first; ms <= last; ms += 86'400'000LL * 997 + 3'601'234) {
        SYSTEMTIME utc = systemTimeFromMilliseconds(ms);
        SYSTEMTIME local{}, back{};
        CONVERTTOLOCALTIME(&utc, &local);
        ASSERT_TRUE(sameRecord(local, systemTimeFromMilliseconds(ms + 3'600'000)))
            << describe(utc) << " gave " << describe(local);
        CONVERTTOGMTTIME(&local, &back);
        ASSERT_TRUE(sameRecord(back, utc)) << describe(local) << " gave " << describe(back);
    }
}

// A record the platform rejects counts as 1 January 1601 00:00; a result before
// that leaves the target as it was.
TEST(SystemTimeZone, RejectedSourceCountsAsThe1601Epoch) {
    const SYSTEMTIME rejected = civilTime(2026, 13, 1);
    SYSTEMTIME local = civilTime(2000, 1, 1);
    CONVERTTOLOCALTIME(const_cast<SYSTEMTIME*>(&rejected), &local);
    EXPECT_TRUE(sameRecord(local, civilTime(1601, 1, 1))) << describe(local);
    SYSTEMTIME utc = civilTime(2000, 1, 1);
    CONVERTTOGMTTIME(const_cast<SYSTEMTIME*>(&rejected), &utc);
    EXPECT_TRUE(sameRecord(utc, civilTime(1601, 1, 1))) << describe(utc);
}

TEST_F(TzSystemTimeGmtMinus1, RejectedSourceCountsAsThe1601Epoch) {
    const SYSTEMTIME rejected = civilTime(2026, 2, 30);
    SYSTEMTIME local = civilTime(2000, 1, 1);
    CONVERTTOLOCALTIME(const_cast<SYSTEMTIME*>(&rejected), &local);
    EXPECT_TRUE(sameRecord(local, civilTime(1601, 1, 1, 1))) << describe(local);
    SYSTEMTIME utc = civilTime(2000, 1, 1);
    CONVERTTOGMTTIME(const_cast<SYSTEMTIME*>(&rejected), &utc);
    EXPECT_TRUE(sameRecord(utc, civilTime(2000, 1, 1))) << "1600 is before any record";
}

// Run with TZ=America/New_York. The offset in force at the moment of the call
// applies to every date, summer or winter, and local time converts back exactly.
class TzSystemTimeNewYork : public ::testing::Test {
  protected:
    void SetUp() override {
        TIME_ZONE_INFORMATION zone{};
        ::GetTimeZoneInformation(&zone);
        ASSERT_EQ(zone.Bias, 300) << "this suite needs TZ=America/New_York";
    }
};

// Minutes to add to UTC for local time, as the platform has it now.
int64_t currentOffsetMinutes() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD id = ::GetTimeZoneInformation(&zone);
    return -(zone.Bias + (id == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias));
}

TEST_F(TzSystemTimeNewYork, TheOffsetInForceNowAppliesToEveryDate) {
    const SYSTEMTIME dates[] = {
        civilTime(2026, 1, 15, 12),         civilTime(2026, 7, 15, 12),
        civilTime(2026, 3, 8, 6, 59, 59),   civilTime(2026, 3, 8, 7, 0, 0),  // DST begins
        civilTime(2026, 11, 1, 5, 59, 59),  civilTime(2026, 11, 1, 6, 0, 0), // DST ends
        civilTime(2026, 12, 31, 23, 30, 0), civilTime(1601, 1, 2, 0, 0, 0, 1),
    };
    // A daylight-saving switch between reading the offset and converting would
    // change the offset; the second reading then tells, and the case is repeated.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int64_t offset = currentOffsetMinutes();
        bool allAsExpected = true;
        for (const SYSTEMTIME& utc : dates) {
            SYSTEMTIME local{}, back{};
            CONVERTTOLOCALTIME(const_cast<SYSTEMTIME*>(&utc), &local);
            CONVERTTOGMTTIME(&local, &back);
            const SYSTEMTIME expected =
                systemTimeFromMilliseconds(millisecondsSince1970(utc) + offset * 60'000);
            if (!sameRecord(local, expected) || !sameRecord(back, utc)) {
                allAsExpected = false;
                if (currentOffsetMinutes() == offset) {
                    ADD_FAILURE() << describe(utc) << " gave " << describe(local) << " and back "
                                  << describe(back) << "; expected " << describe(expected);
                }
            }
        }
        if (allAsExpected || currentOffsetMinutes() == offset)
            return;
    }
}

// ---------------------------------------------------------------------------
// Date texts

TEST(SystemTimeText, ConvertToSystemTimeReadsTheDateText) {
    struct Case {
        const char* text;
        SYSTEMTIME expected;
    };
    const Case cases[] = {
        {"2002-01-15 06:21:59", civilTime(2002, 1, 15, 6, 21, 59)},
        {"12/6/2026 7:45:12 AM", civilTime(2026, 12, 6, 7, 45, 12)},
        {"2/29/2024 23:59:59", civilTime(2024, 2, 29, 23, 59, 59)},
        {"not a date", civilTime(1899, 12, 30)},
        {"", civilTime(1899, 12, 30)},
    };
    for (const Case& c : cases) {
        BSTR text = tw::makeBstr(c.text);
        SYSTEMTIME t = civilTime(2000, 1, 1, 1, 1, 1, 1);
        CONVERTTOSYSTEMTIME(&text, &t);
        EXPECT_TRUE(sameRecord(t, c.expected)) << c.text << " gave " << describe(t);
        ::SysFreeString(text);
    }
    SYSTEMTIME t{};
    CONVERTTOSYSTEMTIME(nullptr, &t);
    EXPECT_TRUE(sameRecord(t, civilTime(1899, 12, 30))) << describe(t);
}

int32_t dateDifference(const char* first, const char* second) {
    tw::unique_bstr a(tw::makeBstr(first)), b(tw::makeBstr(second));
    return DATEDIFFERENCE(a.get(), b.get());
}

TEST(SystemTimeText, DateDifferenceInWholeSeconds) {
    struct Case {
        const char* first;
        const char* second;
        int32_t seconds;
    };
    const Case cases[] = {
        {"1/15/2002 6:21:59", "1/16/2002 6:21:59", 86400},
        {"1/16/2002 6:21:59", "1/15/2002 6:21:59", -86400},
        {"1/15/2002 6:21:59", "1/15/2002 6:21:59", 0},
        {"12/31/1999 23:59:59", "1/1/2000 0:00:00", 1},
        {"2/28/2024", "3/1/2024", 2 * 86400},
        // Unreadable text counts as 30 December 1899.
        {"not a date", "12/31/1899", 86400},
        {"not a date", "", 0},
        // The 32-bit range: 2^31 - 1 seconds after 1970 fits, one more does not.
        {"1/1/1970", "1/19/2038 3:14:07", INT32_MAX},
        {"1/1/1970", "1/19/2038 3:14:08", INT32_MIN},
        {"1/19/2038 3:14:08", "1/1/1970", INT32_MIN},
        {"1/1/1900", "1/1/2000", INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dateDifference(c.first, c.second), c.seconds) << c.first << " -> " << c.second;
}

TEST(SystemTimeText, SecondsBetweenRoundsHalvesToEven) {
    // m/256 of a day is m * 337.5 seconds exactly, so odd m lands on a half.
    struct Case {
        double days;
        int32_t seconds;
    };
    const Case cases[] = {
        {1.0 / 256, 338},        {3.0 / 256, 1012},    {5.0 / 256, 1688},     {7.0 / 256, 2362},
        {-1.0 / 256, -338},      {-3.0 / 256, -1012},  {2.0 / 256, 675},      {24855.0, 2147472000},
        {-24855.0, -2147472000}, {24856.0, INT32_MIN}, {-24856.0, INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zymdate::secondsBetween(0.0, c.days), c.seconds) << c.days;
    EXPECT_EQ(zymdate::secondsBetween(0.0, std::nan("")), INT32_MIN);
}

// Callers pass what they have; a missing record or text must not crash.
TEST(SystemTimeExports, NullPointersAreIgnored) {
    SYSTEMTIME t = civilTime(2026, 5, 4, 12);
    const SYSTEMTIME original = t;
    EXPECT_EQ(INCRSYSTEMTIME(nullptr, 5), 0);
    EXPECT_EQ(DECRSYSTEMTIME(nullptr, 5), 0);
    EXPECT_EQ(CONVERTTOLOCALTIME(nullptr, &t), 0);
    EXPECT_EQ(CONVERTTOGMTTIME(nullptr, &t), 0);
    EXPECT_TRUE(sameRecord(t, original)) << "no source: the target is left alone";
    EXPECT_EQ(CONVERTTOLOCALTIME(&t, nullptr), 0);
    EXPECT_EQ(CONVERTTOGMTTIME(&t, nullptr), 0);
    BSTR text = nullptr;
    EXPECT_EQ(CONVERTTOSYSTEMTIME(&text, nullptr), 0);
    EXPECT_EQ(DATEDIFFERENCE(nullptr, nullptr), 0);
    EXPECT_EQ(ISFILEDATENEWER(nullptr, nullptr), 1) << "no file is older than any time";
}

// ---------------------------------------------------------------------------
// File dates

class SystemTimeFileDate : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[MAX_PATH] = {}, name[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, folder);
        ASSERT_NE(::GetTempFileNameA(folder, "twd", 0, name), 0u);
        path_ = name;
    }
    void TearDown() override { ::DeleteFileA(path_.c_str()); }

    // Gives the file a known last-write time (UTC).
    void setWriteTime(const SYSTEMTIME& utc) {
        tw::unique_file file(::CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        FILETIME ft{};
        ASSERT_TRUE(::SystemTimeToFileTime(&utc, &ft));
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &ft));
    }

    int32_t isNewer(const std::string& name, const std::string& dateText) {
        BSTR n = tw::makeBstr(name), d = tw::makeBstr(dateText);
        const int32_t result = ISFILEDATENEWER(&n, &d);
        ::SysFreeString(n);
        ::SysFreeString(d);
        return result;
    }

    std::string path_;
};

TEST_F(SystemTimeFileDate, ComparesTheLastWriteTimeWithTheTextsDateAndTime) {
    setWriteTime(civilTime(2020, 6, 15, 12, 0, 0));
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {
        {"Next 6/15/2020 12:00:01", 1},
        {"Next 6/15/2020 12:00:00", 0},
        {"Next 6/15/2020 11:59:59", 0},
        {"Next 1/1/2099 12:00:00 PM", 1}, // fields after the third are ignored
        {"Next 1/1/2000 12:00:00", 0},
        {"6/15/2099 12:00:00", 0},    // no prefix: the date is not where it is read
        {"Next not-a-date 12:00", 0}, // 30 December 1899
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNewer(path_, c.text), c.expected) << c.text;
}

TEST_F(SystemTimeFileDate, FileWrittenNowAgainstPastAndFuture) {
    EXPECT_EQ(isNewer(path_, "Checked 1/1/2000 00:00:00"), 0);
    EXPECT_EQ(isNewer(path_, "Checked 12/31/9999 23:59:59"), 1);
}

TEST_F(SystemTimeFileDate, MissingFileIsOlderThanAnyTime) {
    const std::string missing = path_ + ".missing";
    EXPECT_EQ(isNewer(missing, "Next 1/1/2000 12:00:00"), 1);
    EXPECT_EQ(isNewer(missing, "not a date"), 1);
    EXPECT_EQ(isNewer("", "Next 1/1/2000 12:00:00"), 1);
}

// The file's time is taken as local time: a given time 30 minutes after the
// file's UTC time is still 30 minutes before its local time in UTC+1.
TEST_F(TzSystemTimeGmtMinus1, FileTimeIsComparedInLocalTime) {
    char folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    ASSERT_NE(::GetTempFileNameA(folder, "twz", 0, name), 0u);
    {
        tw::unique_file file(::CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const SYSTEMTIME utc = civilTime(2020, 6, 15, 12, 0, 0);
        FILETIME ft{};
        ::SystemTimeToFileTime(&utc, &ft);
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &ft));
    }
    BSTR n = tw::makeBstr(name);
    BSTR before = tw::makeBstr("Next 6/15/2020 12:30:00");
    BSTR after = tw::makeBstr("Next 6/15/2020 13:00:01");
    EXPECT_EQ(ISFILEDATENEWER(&n, &before), 0);
    EXPECT_EQ(ISFILEDATENEWER(&n, &after), 1);
    ::SysFreeString(n);
    ::SysFreeString(before);
    ::SysFreeString(after);
    ::DeleteFileA(name);
}

} // namespace
