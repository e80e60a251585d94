#include "history.h"

#include "tw/civil_days.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace tickwell::history {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60'000;
constexpr int64_t kMsPerDay = 86'400'000;
constexpr double kSecondsPerDay = 86'400;
constexpr double kMinutesPerHour = 60;
constexpr double kMinutesPerDay = 1'440;
constexpr double kMinutesPerYear = 365 * kMinutesPerDay; // the longest a check is put off
constexpr int64_t kShortestPairMs = kMsPerMinute;
constexpr size_t kPairsForEstimate = 10;
constexpr size_t kColumns = 9;

// In the order of the enums.
constexpr std::string_view kKindWords[] = {"check", "set", "auto-set", "retry", "clock-changed"};
constexpr std::string_view kResultWords[] = {"ok", "failed", "refused"};

// Calendar: milliseconds since 1970 and UTC dates.

using tw::Civil;
using tw::civilFromDays;
using tw::daysFromCivil;

constexpr int64_t daysInMonth(int64_t year, int64_t month) {
    if (month == 2)
        return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 29 : 28;
    return month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
}

// "2026-12-08T02:55:01.123Z". A time outside 1970-9999 is written as it is and
// read back as no record.
std::string utcText(int64_t utcMs) {
    const int64_t days = tw::floorDivide(utcMs, kMsPerDay);
    const int64_t msOfDay = utcMs - days * kMsPerDay;
    const Civil date = civilFromDays(days);
    char text[40]; // the year of any 64-bit count fits an int
    std::snprintf(
        text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year),
        static_cast<int>(date.month), static_cast<int>(date.day),
        static_cast<int>(msOfDay / 3'600'000), static_cast<int>(msOfDay / kMsPerMinute % 60),
        static_cast<int>(msOfDay / kMsPerSecond % 60), static_cast<int>(msOfDay % kMsPerSecond));
    return text;
}

std::optional<int64_t> parseUtc(std::string_view text) {
    constexpr std::string_view kShape = "0000-00-00T00:00:00.000Z"; // 0: a digit
    if (text.size() != kShape.size())
        return std::nullopt;
    for (size_t i = 0; i < kShape.size(); ++i)
        if (kShape[i] == '0' ? text[i] < '0' || text[i] > '9' : text[i] != kShape[i])
            return std::nullopt;
    const auto number = [text](size_t at, size_t width) {
        int64_t value = 0;
        for (size_t i = at; i < at + width; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int64_t year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int64_t hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return ((daysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * kMsPerMinute +
           second * kMsPerSecond + number(20, 3);
}

// CSV fields.

void appendField(std::string& line, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// The fields of the record that starts at text[at], up to its unquoted line end
// (LF, CR LF, or a CR the text ends in) or the end of the text; `at` moves past
// it. False when the quoting is broken: a quote never closed, anything but a
// comma or line end after a closing quote, a quote or a lone CR in an unquoted
// field (this file's writer quotes those).
bool readFields(std::string_view text, size_t& at, std::vector<std::string>& fields) {
    fields.assign(1, {});
    for (;;) {
        std::string& field = fields.back();
        if (at < text.size() && text[at] == '"') {
            for (++at;; ++at) {
                if (at == text.size())
                    return false;
                if (text[at] != '"') {
                    field += text[at];
                } else if (at + 1 < text.size() && text[at + 1] == '"') {
                    field += '"';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
        } else {
            for (; at < text.size() && text[at] != ',' && text[at] != '\n' && text[at] != '\r';
                 ++at) {
                if (text[at] == '"')
                    return false;
                field += text[at];
            }
        }
        if (at == text.size())
            return true;
        if (text[at] == ',') {
            ++at;
            fields.emplace_back();
        } else if (text[at] == '\n') {
            ++at;
            return true;
        } else if (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] == '\n')) {
            at += at + 1 == text.size() ? 1 : 2;
            return true;
        } else {
            return false;
        }
    }
}

template <size_t N>
std::optional<size_t> wordIndex(const std::string_view (&words)[N], std::string_view field) {
    const auto found = std::find(std::begin(words), std::end(words), field);
    return found == std::end(words) ? std::nullopt
                                    : std::optional<size_t>(found - std::begin(words));
}

// Empty is an absent number; anything but a whole signed 64-bit number is not a number.
bool readNumber(std::string_view field, std::optional<int64_t>& number) {
    number.reset();
    if (field.empty())
        return true;
    int64_t value = 0;
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc{} || stop != end)
        return false;
    number = value;
    return true;
}

std::optional<Record> recordOf(const std::vector<std::string>& fields) {
    if (fields.size() != kColumns)
        return std::nullopt;
    const std::optional<int64_t> utc = parseUtc(fields[0]);
    const std::optional<size_t> kind = wordIndex(kKindWords, fields[1]);
    const std::optional<size_t> result = wordIndex(kResultWords, fields[4]);
    if (!utc || !kind || !result || (fields[8] != "yes" && fields[8] != "no"))
        return std::nullopt;
    Record record;
    record.utcMs = *utc;
    record.kind = static_cast<Kind>(*kind);
    record.server = fields[2];
    record.protocol = fields[3];
    record.result = static_cast<Result>(*result);
    record.clockSet = fields[8] == "yes";
    if (!readNumber(fields[5], record.differenceMs) || !readNumber(fields[6], record.delayMs) ||
        !readNumber(fields[7], record.errorBoundMs))
        return std::nullopt;
    return record;
}

// Drift and its words.

double ppmOf(double secondsPerDay) {
    return secondsPerDay / kSecondsPerDay * 1e6;
}

// The drift from one successful check to the next, unless they are too close
// to tell or it is too large to be the clock's own. In doubles, which hold the
// times and differences of real checks exactly and cannot overflow on a hand
// edit's extreme numbers.
void addPair(const Record& first, const Record& second, std::vector<DriftPair>& pairs) {
    const double spanMs = static_cast<double>(second.utcMs) - static_cast<double>(first.utcMs);
    if (spanMs < kShortestPairMs)
        return;
    const double left = first.clockSet ? 0 : static_cast<double>(*first.differenceMs);
    const double driftMs = static_cast<double>(*second.differenceMs) - left;
    const double secondsPerDay = driftMs / kMsPerSecond / (spanMs / kMsPerDay);
    if (std::abs(ppmOf(secondsPerDay)) <= kMaxPlausiblePpm)
        pairs.push_back({first.utcMs, second.utcMs, secondsPerDay});
}

// A value rounded to whole units or tenths, always signed; what rounds to zero
// reads "+0", never "-0".
std::string signedText(double value, bool tenths) {
    const long long units = std::llround(value * (tenths ? 10 : 1));
    const long long size = units < 0 ? -units : units;
    std::string text = units < 0 ? "-" : "+";
    if (!tenths)
        return text + std::to_string(size);
    return text + std::to_string(size / 10) + '.' + std::to_string(size % 10);
}

std::string boundText(int64_t boundMs) {
    return boundMs % kMsPerSecond == 0 ? std::to_string(boundMs / kMsPerSecond) + " s"
                                       : std::to_string(boundMs) + " ms";
}

// Rounded down in the unit that reads best; never "0 minutes".
std::string intervalText(double minutes) {
    if (minutes < 2 * kMinutesPerHour) {
        const long long whole = std::max(1LL, static_cast<long long>(minutes));
        return std::to_string(whole) + (whole == 1 ? " minute" : " minutes");
    }
    if (minutes < 2 * kMinutesPerDay)
        return std::to_string(static_cast<long long>(minutes / kMinutesPerHour)) + " hours";
    return std::to_string(static_cast<long long>(minutes / kMinutesPerDay)) + " days";
}

} // namespace

std::string csvHeader() {
    return "utc,kind,server,protocol,result,difference_ms,delay_ms,error_bound_ms,clock_set\r\n";
}

std::string csvLine(const Record& record) {
    std::string line = utcText(record.utcMs);
    const auto add = [&line](std::string_view field) {
        line += ',';
        appendField(line, field);
    };
    add(kKindWords[static_cast<size_t>(record.kind)]);
    add(record.server);
    add(record.protocol);
    add(kResultWords[static_cast<size_t>(record.result)]);
    for (const std::optional<int64_t>& number :
         {record.differenceMs, record.delayMs, record.errorBoundMs})
        add(number ? std::to_string(*number) : std::string());
    add(record.clockSet ? "yes" : "no");
    return line + "\r\n";
}

std::vector<Record> parseCsv(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) // the mark a text editor may leave in front
        text.remove_prefix(3);
    std::vector<Record> records;
    std::vector<std::string> fields;
    for (size_t at = 0; at < text.size();) {
        const size_t start = at;
        std::optional<Record> record;
        if (readFields(text, at, fields))
            record = recordOf(fields);
        if (record) {
            records.push_back(std::move(*record));
            continue;
        }
        // Only the line it starts on is lost: a stray quote must not swallow
        // the records after it.
        const size_t lineEnd = text.find('\n', start);
        at = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
    }
    return records;
}

std::vector<DriftPair> driftPairs(std::span<const Record> records) {
    std::vector<DriftPair> pairs;
    const Record* previous = nullptr; // the last successful check, none across a clock change
    for (const Record& record : records) {
        if (record.kind == Kind::ClockChanged) {
            previous = nullptr;
            continue;
        }
        if (record.result != Result::Ok || !record.differenceMs)
            continue;
        if (previous)
            addPair(*previous, record, pairs);
        previous = &record;
    }
    return pairs;
}

std::optional<Drift> estimateDrift(std::span<const Record> records) {
    const std::vector<DriftPair> pairs = driftPairs(records);
    if (pairs.size() < 2)
        return std::nullopt;
    const size_t used = std::min(pairs.size(), kPairsForEstimate);
    std::vector<double> values;
    for (auto pair = pairs.end() - static_cast<std::ptrdiff_t>(used); pair != pairs.end(); ++pair)
        values.push_back(pair->secondsPerDay);
    std::sort(values.begin(), values.end());
    const size_t middle = used / 2;
    const double median =
        used % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return Drift{median, ppmOf(median), static_cast<int>(used)};
}

std::string driftText(const std::optional<Drift>& drift) {
    if (!drift)
        return "Drift: not enough checks yet";
    // Tenths below 10 s per day as rounded, so that 9.96 reads "+10", not "+10.0".
    const bool tenths = std::abs(std::round(drift->secondsPerDay * 10)) < 100;
    return "Drift: " + signedText(drift->secondsPerDay, tenths) + " s per day (" +
           signedText(drift->ppm, false) + " ppm), from " + std::to_string(drift->pairs) +
           (drift->pairs == 1 ? " interval" : " intervals");
}

std::optional<double> intervalForBound(const Drift& drift, int64_t boundMs) {
    if (drift.secondsPerDay == 0)
        return std::nullopt;
    // One division, so that a bound of exactly a day's drift gives exactly a day.
    return static_cast<double>(std::max<int64_t>(boundMs, 0)) * kMinutesPerDay /
           (std::abs(drift.secondsPerDay) * kMsPerSecond);
}

std::string suggestionText(const Drift& drift, int64_t boundMs) {
    const std::optional<double> minutes = intervalForBound(drift, boundMs);
    const double shown = minutes && *minutes < kMinutesPerYear ? *minutes : kMinutesPerYear;
    return "To stay within " + boundText(boundMs) + ", check every " + intervalText(shown);
}

int suggestedChoice(const Drift& drift, int64_t boundMs, std::span<const int> offeredMinutes) {
    if (offeredMinutes.empty())
        return 0;
    const std::optional<double> longest = intervalForBound(drift, boundMs);
    std::optional<int> choice;
    for (int minutes : offeredMinutes)
        if ((!longest || minutes <= *longest) && (!choice || minutes > *choice))
            choice = minutes;
    return choice ? *choice : *std::min_element(offeredMinutes.begin(), offeredMinutes.end());
}

std::string countsText(std::span<const Record> records) {
    long checks = 0, failed = 0;
    for (const Record& record : records) {
        if (record.kind == Kind::ClockChanged)
            continue;
        ++checks;
        failed += record.result == Result::Failed;
    }
    return "Checks: " + std::to_string(checks) + ", failed: " + std::to_string(failed);
}

} // namespace tickwell::history
