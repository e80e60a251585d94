#include "query/time_query.h"

#include "clock/pc_clock_seam.h"
#include "query/ntp_packet.h"
#include "query/nts_client.h"
#include "query/nts_ke.h"
#include "query/servers_query.h"
#include "query/query_failure.h"
#include "query/sntp_query.h"
#include "query/tcp_reply_judgement.h"
#include "shared/priority_scope.h"
#include "shared/time_units.h"
#include "socket/socket_errors.h"
#include "socket/tcp_connection.h"
#include "tw/filetime.h"
#include "tw/server_name.h"

#include <cstdint>

namespace zymdate {

namespace {

uint32_t waitMilliseconds(int timeoutSeconds) {
    if (timeoutSeconds <= 0)
        return 0;
    constexpr int kMaxSeconds = static_cast<int>(kSecondsPerDay); // more than any wait for a reply
    return static_cast<uint32_t>(timeoutSeconds > kMaxSeconds ? kMaxSeconds : timeoutSeconds) *
           static_cast<uint32_t>(kMillisecondsPerSecond);
}

} // namespace

QueryOutcome askTcpServer(const std::string& server, int port, uint32_t waitMs) {
    QueryOutcome out;
    out.server = server;
    // The exchange: every byte the server sends until it closes, and how long that took.
    const DWORD t0 = pcClock().millisecondCounter();
    std::string reply;
    {
        net::Connection connection;
        const int opened = connection.open(out.server, port, waitMs);
        if (opened != net::kOk) {
            out.message = failureText(out.server, QueryStage::Reaching, opened);
            return out;
        }
        const int received = connection.receiveAll(waitMs, reply);
        if (received != net::kOk) {
            out.message = failureText(out.server, QueryStage::AwaitingReply, received);
            return out;
        }
    }
    const uint32_t exchangeMs = pcClock().millisecondCounter() - t0; // wraps like the counter

    TcpReplyJudgement judged = judgeTcpReply(out.server, reply, exchangeMs);
    out.ok = judged.accepted;
    out.delay = judged.delay;
    out.serverTime = judged.serverTime;
    out.message = std::move(judged.message);
    return out;
}

QueryOutcome checkAtomicTime(std::string_view serverName, int port, int timeoutSeconds) {
    HighPriorityScope priority;
    const std::string server = tw::cleanServerName(serverName);
    if (nts::keTarget(server)) {
        ServersRequest request;
        request.servers = {server};
        request.port = port;
        request.budgetMs = waitMilliseconds(timeoutSeconds);
        request.ntsCaFile = nts::caFile();
        const ServersOutcome asked = askTimeServers(request, {});
        QueryOutcome out;
        out.server = server;
        out.ok = asked.ok;
        out.serverTime = asked.serverTime;
        out.delay = static_cast<double>(asked.delayUnits) / tw::kUnitsPerMillisecond;
        out.message = asked.message;
        return out;
    }
    if (port == ntp::kPort)
        return askNtpServer(server, port, waitMilliseconds(timeoutSeconds));
    return askTcpServer(server, port, waitMilliseconds(timeoutSeconds));
}

} // namespace zymdate
