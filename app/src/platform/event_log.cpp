#include "event_log.h"

#include "data_folder.h"
#include "library_calls.h"

namespace tickwell {

void LogEvent(const std::string& text) {
    static EventLog log(dataFolder() + kLogFileName);
    log.write(lib::timestamp(), text);
}

} // namespace tickwell
