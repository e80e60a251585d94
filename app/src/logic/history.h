// The history of checks and sets: one record per check or set, kept as CSV in
// tickwell-history.csv beside the log, and what it tells about the PC clock's
// drift. No window, file or Win32 call here: the file is read and written in
// platform/, drawn in windows/.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tickwell::history {

// What made the record. ClockChanged: someone other than Tickwell changed the
// clock (a time-change notice Tickwell did not cause); no check pairs across it.
enum class Kind { Check, Set, AutoSet, Retry, ClockChanged };
enum class Result { Ok, Failed, Refused }; // Refused: beyond the automatic-change limit

struct Record {
    int64_t utcMs = 0; // when the check was made: milliseconds since 1970-01-01 00:00 UTC
    Kind kind = Kind::Check;
    std::string server;   // as asked; may hold commas, quotes, blanks
    std::string protocol; // "NTP", "Daytime", "Time", or empty
    Result result = Result::Ok;
    std::optional<int64_t> differenceMs; // PC minus server, measured before any set
    std::optional<int64_t> delayMs;
    std::optional<int64_t> errorBoundMs;
    bool clockSet = false; // the clock was set to the server's time after the measurement
    bool operator==(const Record&) const = default;
};

inline constexpr size_t kMaxRecords = 10'000;

// The file's first line, naming the columns:
// utc,kind,server,protocol,result,difference_ms,delay_ms,error_bound_ms,clock_set
std::string csvHeader();

// One record as a CSV line (RFC 4180: fields with a comma, a quote, CR or LF in
// quotes, quotes doubled), ending in CR LF. utc is "2026-12-08T02:55:01.123Z";
// kind "check", "set", "auto-set", "retry", "clock-changed"; result "ok",
// "failed", "refused"; an absent number is an empty field; clock_set "yes"/"no".
std::string csvLine(const Record& record);

// The records of a whole file's text, in file order: the header, blank lines and
// any line that is not a record as written above (a hand edit, a torn last
// line) are skipped, never a reason to lose the others.
std::vector<Record> parseCsv(std::string_view text);

// One interval between two successful checks with nobody else's clock change
// between them: the clock's drift over it.
struct DriftPair {
    int64_t fromMs = 0, toMs = 0;
    double secondsPerDay = 0; // positive: the PC clock runs fast
};

// The pairs in the records, oldest first. A pair is two consecutive successful
// records (failed and refused ones between are passed over) with a ClockChanged
// record nowhere between them, at least a minute apart; its drift is the second
// difference less what was left after the first (0 when the first set the clock,
// its difference otherwise), over the time between. A pair whose drift exceeds
// kMaxPlausiblePpm is a clock change by someone else and is not a pair.
inline constexpr double kMaxPlausiblePpm = 500.0;
std::vector<DriftPair> driftPairs(std::span<const Record> records);

struct Drift {
    double secondsPerDay = 0;
    double ppm = 0;
    int pairs = 0; // how many it rests on
};

// The median of the last 10 pairs; none with fewer than 2.
std::optional<Drift> estimateDrift(std::span<const Record> records);

// "Drift: +1.3 s per day (+15 ppm), from 9 intervals"; without an estimate
// "Drift: not enough checks yet". Seconds to 1 decimal below 10 s per day, whole
// above; ppm to whole numbers, signed; "1 interval" when one.
std::string driftText(const std::optional<Drift>& drift);

// The interval, in minutes, that keeps |drift| times the interval within
// boundMs; none without drift (or drift of 0: any interval will do).
std::optional<double> intervalForBound(const Drift& drift, int64_t boundMs);

// "To stay within 1 s, check every 18 hours" (bound as "1 s", "100 ms", "10 ms";
// the interval rounded down to whole minutes, hours or days as it reads best:
// under 2 hours in minutes, under 2 days in hours, else days).
std::string suggestionText(const Drift& drift, int64_t boundMs);

// Of the intervals the General page offers (minutes), the longest that keeps
// within the bound; the shortest when none does.
int suggestedChoice(const Drift& drift, int64_t boundMs, std::span<const int> offeredMinutes);

// "Checks: 214, failed: 3" (ClockChanged records are not checks; refused ones
// count as checks, not failures).
std::string countsText(std::span<const Record> records);

} // namespace tickwell::history
