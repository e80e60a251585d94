#include "time_query.h"

#include "daytime_reply.h"
#include "filetime.h"
#include "formatting.h"
#include "library_calls.h"
#include "pc_clock_seam.h"
#include "priority_scope.h"
#include "rfc868.h"
#include "socket_layer.h"

#include <oleauto.h>

#include <cmath>
#include <cstdint>

namespace zymdate {

namespace {

uint32_t waitMilliseconds(int timeoutSeconds) {
    if (timeoutSeconds <= 0)
        return 0;
    constexpr int kMaxSeconds = 86'400; // a day is more than any wait for a time reply
    return static_cast<uint32_t>(timeoutSeconds > kMaxSeconds ? kMaxSeconds : timeoutSeconds) *
           1000u;
}

// Half the exchange time goes to the reply's travel, less a fixed 5 ms.
void correctForDelay(SYSTEMTIME& time, uint32_t exchangeMs) {
    const int64_t units = systemTimeToUnits(time) + static_cast<int64_t>(exchangeMs) * 5000 -
                          5 * kUnitsPerMillisecond;
    unitsToSystemTime(units, time);
}

} // namespace

QueryOutcome checkAtomicTime(std::string_view serverName, int port, int timeoutSeconds) {
    HighPriorityScope priority;
    QueryOutcome out;
    out.server = cleanServerName(serverName);

    const DWORD t0 = pcClock().millisecondCounter();
    std::string reply;
    {
        net::Connection connection;
        const int opened = connection.open(out.server, port);
        if (opened != net::kOk) {
            out.message = (opened == net::kConnectionFailed || opened == net::kTimedOut)
                              ? messages::cannotConnect(out.server)
                              : messages::connectError(opened, lib::errorDescription(opened));
            return out;
        }
        const int received = connection.receiveAll(waitMilliseconds(timeoutSeconds), reply);
        if (received != net::kOk) {
            out.message = messages::receiveError(received, lib::errorDescription(received));
            return out;
        }
    }
    const std::string text = replyText(reply);
    out.message = text;
    const uint32_t exchangeMs = pcClock().millisecondCounter() - t0; // wraps like the counter

    switch (classifyReply(reply, text)) {
    case ReplyKind::Daytime: {
        const int health = healthDigit(text);
        if (health == 1) {
            out.message = messages::unhealthy(out.server);
            return out;
        }
        if (health == 2) {
            out.message = messages::veryUnhealthy(out.server);
            return out;
        }
        const std::optional<std::string> dateText = daytimeDateText(text);
        // 0 and -1 are the parser's "unreadable" and "out of range": taking them
        // as a time would set the clock to December 1899.
        const double date = dateText ? strToVbDate(*dateText) : 0;
        if (date == 0 || date == -1) {
            out.message = messages::unreadableDate(out.server, text);
            return out;
        }
        ::VariantTimeToSystemTime(date, &out.serverTime);
        out.serverTime.wMilliseconds = 0;
        break;
    }
    case ReplyKind::TimeProtocol: {
        out.serverTime = rfc868ToSystemTime(rfc868SecondsFromBytes(reply));
        std::string timePicture, datePicture;
        out.message = formatTime(out.serverTime, timePicture, datePicture);
        break;
    }
    case ReplyKind::TooShort:
        out.message = messages::noTime(out.server, reply.size());
        return out;
    case ReplyKind::NotOnTime:
        out.message = messages::notOnTime(text);
        return out;
    }

    correctForDelay(out.serverTime, exchangeMs);
    out.delay = std::floor(exchangeMs / 2.0);
    out.ok = true;
    return out;
}

} // namespace zymdate
