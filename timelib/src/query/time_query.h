// One query of a time server. Port 123 asks with SNTP over UDP (sntp_query.h);
// any other port connects over TCP, reads the whole reply and times the
// exchange, then hands both to the judgement (tcp_reply_judgement.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zymdate {

struct QueryOutcome {
    bool ok = false;
    std::string server; // the cleaned host name, on success and failure alike
    // TCP: half the exchange time in whole milliseconds; NTP: the round trip
    // less the server's hold, in milliseconds (success only).
    double delay = 0;
    SYSTEMTIME serverTime{}; // UTC, corrected for the delay (success only)
    std::string message;     // the reply text, received time or NTP summary, or why it failed
};

// timeoutSeconds bounds the connect and every wait for data over TCP, and the
// whole NTP exchange; 0 (or less) means no limit (for NTP: kNtpDefaultBudgetMs).
QueryOutcome checkAtomicTime(std::string_view server, int port, int timeoutSeconds);

// The TCP exchange with the cleaned server name: waitMs bounds the connect and
// every wait for data (0: no limit), as the time-out does above.
QueryOutcome askTcpServer(const std::string& server, int port, uint32_t waitMs);

} // namespace zymdate
