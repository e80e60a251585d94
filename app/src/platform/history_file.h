// The history file "tickwell-history.csv" beside the log: one CSV record per
// check and set, opened for each write and closed after it, so a spreadsheet may
// open the file at any time. It keeps at least the newest kMaxRecords records
// and never holds more than kMaxRecords + kTrimSlack: past that, one rewrite
// (to a new file that then replaces the old) drops the oldest.
#pragma once

#include "history.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tickwell {

inline constexpr char kHistoryFileName[] = "tickwell-history.csv";
inline constexpr size_t kTrimSlack = 1'000;

class HistoryFile {
  public:
    explicit HistoryFile(std::string path, size_t maxRecords = history::kMaxRecords);

    // Appends the record, stamped with the current UTC time when its utcMs is 0.
    // Empty when written; otherwise the reason, the first time a write fails
    // (again after one succeeded), and empty for the failures that follow, so a
    // locked file is reported once, not at every check.
    std::string append(history::Record record);

    // Every record the file holds, oldest first; none when it cannot be read.
    std::vector<history::Record> read() const;

    const std::string& path() const { return path_; }

  private:
    bool write(const history::Record& record, std::string& error);
    void trim();

    std::string path_;
    size_t maxRecords_;
    std::optional<size_t> count_; // records in the file, once counted
    bool failing_ = false;
};

// The program's history, in the folder of its log.
HistoryFile& programHistory();

// Milliseconds since 1970-01-01 00:00 UTC.
int64_t utcNowMs();

// A UTC time in milliseconds since 1970-01-01 00:00 UTC.
int64_t utcMsOf(const SYSTEMTIME& utc);

// Such a time as local time (as UTC when the system cannot convert it).
SYSTEMTIME localTimeOf(int64_t utcMs);

} // namespace tickwell
