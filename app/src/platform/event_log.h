// The event log "tickwell.log" beside the program: one time-stamped line per
// entry, a line of 75 hyphens before the first entry of each run. Writing it
// never disturbs the program: a log that cannot be opened or written is skipped.
#pragma once

#include "tw/log_file.h"

#include <string>

namespace tickwell {

inline constexpr char kLogFileName[] = "tickwell.log";

using EventLog = tw::LogFile;

// Appends one entry to the program's log, stamped with TIMESTAMP.
void LogEvent(const std::string& text);

} // namespace tickwell
