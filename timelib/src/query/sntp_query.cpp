#include "query/sntp_query.h"

#include "clock/pc_clock_seam.h"
#include "query/ntp_exchange.h"
#include "query/ntp_judgement.h"
#include "query/ntp_packet.h"
#include "query/query_failure.h"
#include "query/query_messages.h"
#include "socket/deadline.h"
#include "socket/resolver.h"
#include "socket/session.h"
#include "socket/socket_errors.h"
#include "socket/udp_socket.h"
#include "tw/filetime.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zymdate {

namespace {

struct AddressAnswer {
    int error = net::kTimedOut; // when no reply came
    // UDP reports an error only when the request reached no server (an ICMP
    // refusal comes back as one); only a reply that never came was awaited.
    QueryStage stage = QueryStage::AwaitingReply;
    std::optional<NtpJudgement> verdict; // the first reply that was not ignored
};

AddressAnswer askAddress(std::string_view server, const net::Address& address, uint32_t budgetMs,
                         const TimeLine& line) {
    AddressAnswer answer;
    net::DatagramSocket socket;
    if (const int opened = socket.open(address); opened != net::kOk) {
        answer.error = opened;
        answer.stage = QueryStage::Reaching;
        return answer;
    }
    const net::Deadline deadline(budgetMs);
    std::vector<SentRequest> sent;
    uint32_t nextSendMs = 0;
    uint32_t gapMs = std::max<uint32_t>(1, std::min(kNtpFirstRepeatMs, budgetMs / 4));
    for (;;) {
        const uint32_t spent = deadline.spentMs();
        if (spent >= budgetMs)
            return answer;
        const bool moreToSend = sent.size() < static_cast<size_t>(kNtpRequestsPerAddress);
        if (moreToSend && spent >= nextSendMs) {
            SentRequest request;
            request.transmit = requestCookie(line);
            request.sentAt = line.now();
            if (const int result = socket.send(ntp::clientRequest(request.transmit));
                result != net::kOk) {
                answer.error = result;
                answer.stage = QueryStage::Reaching;
                return answer;
            }
            sent.push_back(request);
            nextSendMs = spent + gapMs;
            gapMs *= 2;
            continue;
        }
        const uint32_t waitMs =
            std::min(budgetMs - spent, moreToSend ? nextSendMs - spent : UINT32_MAX);
        std::string datagram;
        const int received = socket.receive(std::max<uint32_t>(1, waitMs), datagram);
        const ntp::Timestamp receivedAt = line.now();
        if (received == net::kTimedOut)
            continue;
        if (received != net::kOk) {
            answer.error = received;
            answer.stage = QueryStage::Reaching;
            return answer;
        }
        NtpJudgement judged = judgeNtpReply(server, datagram, sent, receivedAt);
        if (isIgnored(judged.finding))
            continue;
        answer.error = net::kOk;
        answer.verdict = std::move(judged);
        return answer;
    }
}

// Asks each address in turn, within what is left of overall; the caller holds
// the session.
QueryOutcome exchange(const std::string& server, std::span<const net::Address> addresses,
                      const net::Deadline& overall) {
    QueryOutcome out;
    out.server = server;
    const TimeLine line;
    // No address asked before the time ran out: the server was never reached.
    int error = net::kTimedOut;
    QueryStage stage = QueryStage::Reaching;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const uint32_t share = overall.shareMs(addresses.size() - i);
        if (share == 0)
            break;
        AddressAnswer answer = askAddress(server, addresses[i], share, line);
        if (!answer.verdict) {
            error = answer.error;
            stage = answer.stage;
            continue;
        }
        NtpJudgement& judged = *answer.verdict;
        out.message = std::move(judged.message);
        if (judged.finding != NtpFinding::Accepted)
            return out;
        // The server's time now: the PC clock now plus the offset, to the
        // nearest millisecond the record keeps.
        const int64_t serverUnits =
            line.nowUnits() + judged.offsetUnits + tw::kUnitsPerMillisecond / 2;
        if (!tw::unitsToSystemTime(serverUnits, out.serverTime)) {
            out.message = messages::ntpUnreadableTime(server);
            return out;
        }
        out.ok = true;
        out.delay = static_cast<double>(judged.delayUnits) / tw::kUnitsPerMillisecond;
        return out;
    }
    out.message = failureText(server, stage, error);
    return out;
}

uint32_t budgetOrDefault(uint32_t budgetMs) {
    return budgetMs != 0 ? budgetMs : kNtpDefaultBudgetMs;
}

} // namespace

QueryOutcome askNtpServer(const std::string& server, int port, uint32_t budgetMs) {
    const net::Deadline overall(budgetOrDefault(budgetMs)); // the resolver's time counts too
    net::Session session;
    std::vector<net::Address> addresses;
    int error = session.begin();
    if (error == net::kOk)
        error = net::resolve(server, port, SOCK_DGRAM, addresses);
    if (error != net::kOk) {
        QueryOutcome out;
        out.server = server;
        out.message = failureText(server, QueryStage::Reaching, error);
        return out;
    }
    return exchange(server, addresses, overall);
}

QueryOutcome askNtpServer(const std::string& server, std::span<const net::Address> addresses,
                          uint32_t budgetMs) {
    const net::Deadline overall(budgetOrDefault(budgetMs));
    net::Session session;
    if (const int begun = session.begin(); begun != net::kOk) {
        QueryOutcome out;
        out.server = server;
        out.message = failureText(server, QueryStage::Reaching, begun);
        return out;
    }
    return exchange(server, addresses, overall);
}

} // namespace zymdate
