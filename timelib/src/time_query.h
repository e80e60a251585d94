// One query of a time server: connect, read the whole reply and time the
// exchange, then hand both to the judgement (reply_judgement.h).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zymdate {

struct QueryOutcome {
    bool ok = false;
    std::string server;      // the cleaned host name, on success and failure alike
    double delay = 0;        // half the exchange time in whole milliseconds (success only)
    SYSTEMTIME serverTime{}; // UTC, corrected for the delay (success only)
    std::string message;     // the reply text or received time, or why it failed
};

// timeoutSeconds bounds every wait for data; 0 (or less) means no limit.
QueryOutcome checkAtomicTime(std::string_view server, int port, int timeoutSeconds);

} // namespace zymdate
