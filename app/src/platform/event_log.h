// The event log "tickwell.log" beside the program: one time-stamped line per
// entry, a line of 75 hyphens before the first entry of each run. Writing it
// never disturbs the program: a log that cannot be opened or written is skipped.
#pragma once

#include "tw/handles.h"

#include <string>

namespace tickwell {

inline constexpr char kLogFileName[] = "tickwell.log";

class EventLog {
  public:
    explicit EventLog(std::string path) : path_(std::move(path)) {}

    // Appends stamp + " " + text + CR LF; the first call of this log's life also
    // opens the file (once, successful or not) and writes the separator line.
    void write(const std::string& stamp, const std::string& text);

  private:
    std::string path_;
    tw::unique_file file_;
    bool opened_ = false;
};

// Appends one entry to the program's log, stamped with TIMESTAMP.
void LogEvent(const std::string& text);

} // namespace tickwell
