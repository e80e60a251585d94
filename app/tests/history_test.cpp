// The history file both ways, and what its checks tell about the clock's drift.
#include "history.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tickwell::history {
namespace {

constexpr int64_t kDec8 = 1'796'698'501'123; // 2026-12-08T02:55:01.123Z
const std::string kDec8Text = "2026-12-08T02:55:01.123Z";
constexpr int64_t kMinute = 60'000;

std::string line(const std::string& server, const std::string& end = "\r\n") {
    return kDec8Text + ",check," + server + ",NTP,ok,15,40,20,no" + end;
}

std::vector<std::string> servers(const std::vector<Record>& records) {
    std::vector<std::string> names;
    for (const Record& r : records)
        names.push_back(r.server);
    return names;
}

TEST(HistoryCsv, LinesQuoteWhatWouldSplitThemAndReadBackTheSame) {
    const struct {
        Record record;
        const char* line;
    } cases[] = {
        {{kDec8, Kind::Check, "time.example", "NTP", Result::Ok, 15, 40, 20, false},
         ",check,time.example,NTP,ok,15,40,20,no\r\n"},
        {{kDec8, Kind::Retry, "a \"b\", c", "", Result::Failed, {}, {}, {}, false},
         ",retry,\"a \"\"b\"\", c\",,failed,,,,no\r\n"},
        {{kDec8, Kind::AutoSet, "x\r\ny", "Time", Result::Refused, INT64_MIN, 0, INT64_MAX, true},
         ",auto-set,\"x\r\ny\",Time,refused,-9223372036854775808,0,9223372036854775807,yes\r\n"},
        {{kDec8, Kind::Set, "\"", "Daytime", Result::Ok, -7, {}, 3, true},
         ",set,\"\"\"\",Daytime,ok,-7,,3,yes\r\n"},
        {{kDec8, Kind::ClockChanged, " ", "a\rb", Result::Ok, {}, {}, {}, false},
         ",clock-changed, ,\"a\rb\",ok,,,,no\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(csvLine(c.record), kDec8Text + c.line);
        EXPECT_EQ(parseCsv(csvHeader() + csvLine(c.record)), std::vector{c.record}) << c.line;
    }
}

// Every day of 1970-9999 both ways, each at another time of day, against a date
// counted forward a day at a time.
TEST(HistoryCsv, EveryDayReadsBackAsWritten) {
    const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = 1970, month = 1, day = 1;
    for (int64_t n = 0; year <= 9999; ++n) {
        Record r;
        r.utcMs = n * 1440 * kMinute + n * 7'919 % (1440 * kMinute);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02dT", year, month, day);
        const std::string text = csvLine(r);
        ASSERT_EQ(text.substr(0, 11), date) << n;
        ASSERT_EQ(parseCsv(text), std::vector{r}) << text;
        const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        if (++day > monthDays[month - 1] + (month == 2 && leap)) {
            day = 1;
            year += month == 12;
            month = month % 12 + 1;
        }
    }
}

TEST(HistoryCsv, ReadingKeepsTheRecordsAroundWhatIsNotOne) {
    const struct {
        std::string text;
        std::vector<std::string> servers;
    } cases[] = {
        {csvHeader() + line("a") + line("b"), {"a", "b"}},
        {line("a", "\n") + line("b", "\n"), {"a", "b"}},
        {line("a") + line("b", ""), {"a", "b"}},
        {line("a") + line("b", "\r"), {"a", "b"}},
        {"\r\n\n" + line("a") + "\n\r\n" + line("b") + "\r\n", {"a", "b"}},
        {"\xEF\xBB\xBF" + line("a"), {"a"}},
        {line("a") + line("b").substr(0, 40), {"a"}},
        {line("a") + line("\"b,"), {"a"}},
        {line("\"a\r\nb\"", "\n") + line("\"c,\"\"d\"\"\"", "\n"), {"a\r\nb", "c,\"d\""}},
        {line("\"x") + line("b") + line("\"c\""), {"b", "c"}},
        {line("x\"y") + line("\"x\"y") + line("x\ry") + line("b"), {"b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(servers(parseCsv(c.text)), c.servers) << c.text;
}

// Each case makes one field of a good line wrong: "from>to" replaces a part of it.
TEST(HistoryCsv, FieldsOutOfShapeOrRangeSkipTheirLine) {
    // clang-format off
    const std::string_view cases[] = {
        "-12-08>-13-08", "-12-08>-00-08", "12-08>02-29", "12-08>04-31", "-08T>-00T",
        "02:55>24:00", ":55:>:60:", ":01.>:60.", "2026-12>1969-12", "T> ", "Z>", ".123>",
        "check>Check", "check>sync", "ok>ok ", ",15,>,12x,", ",40,>,9223372036854775808,",
        ",20,>,+5,", ",15,>,-,", "no>true", ",no>", "no>no,no"};
    // clang-format on
    for (std::string_view change : cases) {
        const size_t split = change.find('>');
        std::string bad = line("x");
        bad.replace(bad.find(change.substr(0, split)), split, change.substr(split + 1));
        EXPECT_EQ(servers(parseCsv(line("a") + bad + line("b"))),
                  (std::vector<std::string>{"a", "b"}))
            << bad;
    }
}

Record at(double minutes, std::optional<int64_t> differenceMs, bool clockSet = false,
          Kind kind = Kind::Check, Result result = Result::Ok) {
    Record r;
    r.utcMs = kDec8 + std::llround(minutes * kMinute);
    r.kind = kind;
    r.result = result;
    r.differenceMs = differenceMs;
    r.clockSet = clockSet;
    return r;
}
Record setAt(double minutes, int64_t differenceMs) {
    return at(minutes, differenceMs, true);
}
Record other(double minutes, Kind kind, Result result = Result::Ok) {
    return at(minutes, 1, false, kind, result);
}

TEST(HistoryDrift, PairsAreNeighbouringGoodChecksWithNobodyElsesChangeBetween) {
    constexpr double kDay = 1440;
    const struct {
        const char* name;
        std::vector<Record> records;
        std::vector<std::array<double, 3>> pairs; // from, to (minutes), seconds per day
    } cases[] = {
        {"steady, never set",
         {at(0, 200), at(kDay, 1500), at(2 * kDay, 2800)},
         {{0, kDay, 1.3}, {kDay, 2 * kDay, 1.3}}},
        {"set each time",
         {setAt(0, 900), setAt(360, 162), setAt(360 + kDay, 863)},
         {{0, 360, 0.648}, {360, 360 + kDay, 0.863}}},
        {"negative", {setAt(0, 0), at(360, -100)}, {{0, 360, -0.4}}},
        {"first not a set",
         {at(0, 5000), setAt(kDay, 5400), at(2 * kDay, 400)},
         {{0, kDay, 0.4}, {kDay, 2 * kDay, 0.4}}},
        {"failures passed over",
         {setAt(0, 0), other(60, Kind::Retry, Result::Failed),
          other(90, Kind::AutoSet, Result::Refused), at(120, {}), at(kDay, 1000)},
         {{0, kDay, 1.0}}},
        {"a jump beyond the plausible, then one within",
         {setAt(0, 0), setAt(kDay, 43'300), at(2 * kDay, 43'100)},
         {{kDay, 2 * kDay, 43.1}}},
        {"a clock change between",
         {setAt(0, 0), other(60, Kind::ClockChanged), at(kDay, 1000), at(2 * kDay, 3000)},
         {{kDay, 2 * kDay, 2.0}}},
        {"under a minute apart, then a minute",
         {at(0, 500), setAt(0.5, 500), at(1.5, 1)},
         {{0.5, 1.5, 1.44}}},
        {"too few", {setAt(0, 0)}, {}},
    };
    for (const auto& c : cases) {
        const std::vector<DriftPair> pairs = driftPairs(c.records);
        ASSERT_EQ(pairs.size(), c.pairs.size()) << c.name;
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].fromMs, at(c.pairs[i][0], 0).utcMs) << c.name;
            EXPECT_EQ(pairs[i].toMs, at(c.pairs[i][1], 0).utcMs) << c.name;
            EXPECT_NEAR(pairs[i].secondsPerDay, c.pairs[i][2], 1e-9) << c.name;
        }
    }
}

TEST(HistoryDrift, EstimateIsTheMedianOfTheLastTenPairs) {
    const struct {
        std::vector<double> drifts; // of one day each
        double median, ppm;
        int pairs; // 0: no estimate
    } cases[] = {{{}, 0, 0, 0},
                 {{1.0}, 0, 0, 0},
                 {{1.0, 2.456}, 1.728, 20, 2},
                 {{5, -8.64, 3}, 3, 34.722, 3},
                 {{40, 40, 10, 9, 8, 7, 6, 5, 4, 3, 2, -8.64}, 5.5, 63.657, 10}};
    for (const auto& c : cases) {
        std::vector<Record> records = {setAt(0, 0)};
        for (double drift : c.drifts)
            records.push_back(setAt(1440.0 * records.size(), std::llround(drift * 1000)));
        const std::optional<Drift> drift = estimateDrift(records);
        ASSERT_EQ(drift.has_value(), c.pairs > 0) << c.median;
        if (drift) {
            EXPECT_NEAR(drift->secondsPerDay, c.median, 1e-9);
            EXPECT_NEAR(drift->ppm, c.ppm, 1e-3);
            EXPECT_EQ(drift->pairs, c.pairs);
        }
    }
}

TEST(HistoryTexts, DriftAndCountsRead) {
    const std::pair<std::optional<Drift>, const char*> cases[] = {
        {Drift{1.3, 15.046, 9}, "+1.3 s per day (+15 ppm), from 9 intervals"},
        {Drift{-0.4, -4.63, 2}, "-0.4 s per day (-5 ppm), from 2 intervals"},
        {Drift{0, 0, 1}, "+0.0 s per day (+0 ppm), from 1 interval"},
        {Drift{-0.04, -0.46, 3}, "+0.0 s per day (+0 ppm), from 3 intervals"},
        {Drift{9.94, 115.0, 10}, "+9.9 s per day (+115 ppm), from 10 intervals"},
        {Drift{9.96, 115.3, 10}, "+10 s per day (+115 ppm), from 10 intervals"},
        {Drift{-12.5, -144.7, 10}, "-13 s per day (-145 ppm), from 10 intervals"},
        {std::nullopt, "not enough checks yet"}};
    for (const auto& [drift, text] : cases)
        EXPECT_EQ(driftText(drift), std::string("Drift: ") + text);
    const std::vector<Record> records = {
        at(0, 1), other(1, Kind::Set, Result::Failed), other(2, Kind::AutoSet, Result::Refused),
        other(3, Kind::ClockChanged), other(4, Kind::Retry, Result::Failed)};
    EXPECT_EQ(countsText(records), "Checks: 4, failed: 2");
}

TEST(HistorySuggestion, IntervalReadsBestAndPicksAnOfferedChoice) {
    constexpr int kOffered[] = {30, 60, 360, 720, 1440, 10080, 20160, 43200};
    const struct {
        double secondsPerDay;
        int64_t boundMs;
        const char *bound, *every;
        int choice;
    } cases[] = {
        {1.3, 1000, "1 s", "18 hours", 720},     {-1.3, 1000, "1 s", "18 hours", 720},
        {1.0, 1000, "1 s", "24 hours", 1440},    {1.0, 100, "100 ms", "2 hours", 60},
        {1.0, 83, "83 ms", "119 minutes", 60},   {1.0, 1999, "1999 ms", "47 hours", 1440},
        {1.0, 2500, "2500 ms", "2 days", 1440},  {14.4, 10, "10 ms", "1 minute", 30},
        {43.2, 10, "10 ms", "1 minute", 30},     {0.012, 1000, "1 s", "83 days", 43200},
        {0.001, 1000, "1 s", "365 days", 43200}, {0, 1000, "1 s", "365 days", 43200},
    };
    for (const auto& c : cases) {
        const Drift drift{c.secondsPerDay, c.secondsPerDay / 0.0864, 5};
        EXPECT_EQ(suggestionText(drift, c.boundMs),
                  std::string("To stay within ") + c.bound + ", check every " + c.every);
        EXPECT_EQ(suggestedChoice(drift, c.boundMs, kOffered), c.choice) << c.every;
    }
    EXPECT_FALSE(intervalForBound(Drift{0, 0, 5}, 1000));
}

} // namespace
} // namespace tickwell::history
