#include "event_log.h"

#include "library_calls.h"

namespace tickwell {

void LogEvent(const std::string& text) {
    static EventLog log(lib::appPath() + kLogFileName);
    log.write(lib::timestamp(), text);
}

} // namespace tickwell
