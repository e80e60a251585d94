#include "query/tcp_reply_judgement.h"

#include "formatting/formatting.h"
#include "query/daytime_reply.h"
#include "query/query_messages.h"
#include "query/rfc868.h"
#include "tw/filetime.h"

#include <oleauto.h>

#include <cmath>

namespace zymdate {

namespace {

// Half the exchange time is taken as the reply's travel, less a fixed 5 ms.
constexpr int64_t kUnitsPerHalfMillisecond = tw::kUnitsPerMillisecond / 2;
constexpr int64_t kFixedCorrectionMs = 5;

void correctForDelay(SYSTEMTIME& time, uint32_t exchangeMs) {
    const int64_t units = tw::systemTimeToUnits(time) +
                          static_cast<int64_t>(exchangeMs) * kUnitsPerHalfMillisecond -
                          kFixedCorrectionMs * tw::kUnitsPerMillisecond;
    tw::unitsToSystemTime(units, time);
}

} // namespace

ReplyKind classifyReply(std::string_view reply, std::string_view text) {
    // The size as received decides first: no Daytime line fits in five bytes, and a
    // Time protocol value whose last two bytes happen to be "* " (one second in
    // every 65536) is still a value.
    if (reply.size() < 4)
        return ReplyKind::TooShort;
    if (reply.size() <= 5)
        return ReplyKind::TimeProtocol;
    if (text.size() >= 2 && text.substr(text.size() - 2) == "* ")
        return ReplyKind::Daytime;
    return ReplyKind::NotOnTime;
}

TcpReplyJudgement judgeTcpReply(std::string_view server, std::string_view reply,
                                uint32_t exchangeMs) {
    TcpReplyJudgement out;
    const std::string text = replyText(reply);
    out.message = text;
    out.kind = classifyReply(reply, text);

    switch (out.kind) {
    case ReplyKind::Daytime: {
        out.health = healthDigit(text);
        if (out.health == 1) {
            out.message = messages::unhealthy(server);
            return out;
        }
        if (out.health == 2) {
            out.message = messages::veryUnhealthy(server);
            return out;
        }
        const std::optional<std::string> dateText = daytimeDateText(text);
        // 0 and -1 are the parser's "unreadable" and "out of range": taking them
        // as a time would set the clock to December 1899.
        const double date = dateText ? strToVbDate(*dateText) : 0;
        if (date == 0 || date == -1) {
            out.message = messages::unreadableDate(server, text);
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
        out.message = messages::noTime(server, reply.size());
        return out;
    case ReplyKind::NotOnTime:
        out.message = messages::notOnTime(text);
        return out;
    }

    correctForDelay(out.serverTime, exchangeMs);
    out.delay = std::floor(exchangeMs / 2.0);
    out.accepted = true;
    return out;
}

} // namespace zymdate
