// Exports of the time query: thin adapters over time_query and rfc868.
#include "zymdate.h"

#include "query/rfc868.h"
#include "query/nts_client.h"
#include "query/nts_ke.h"
#include "query/servers_query.h"
#include "query/time_query.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"
#include "tw/filetime.h"

#include <algorithm>
#include <cstring>
#include <string>

extern "C" int32_t WINAPI RFC868TOSYSTEMTIME(uint32_t value, SYSTEMTIME* time) {
    if (time != nullptr)
        *time = zymdate::rfc868ToSystemTime(zymdate::rfc868SecondsFromWire(value));
    return 1;
}

extern "C" int32_t WINAPI CHECKATOMICTIME(BSTR* server, int32_t* port, int32_t timeoutSeconds,
                                          double* delay, SYSTEMTIME* serverTime, BSTR* message) {
    return tw::atEdge<int32_t>(
        0,
        [&] {
            const auto outcome =
                zymdate::checkAtomicTime(tw::fromBstrRef(server), port ? *port : 0, timeoutSeconds);
            tw::assignBstr(server, outcome.server);
            tw::assignBstr(message, outcome.message);
            if (outcome.ok) {
                if (delay != nullptr)
                    *delay = outcome.delay;
                if (serverTime != nullptr)
                    *serverTime = outcome.serverTime;
            }
            return outcome.ok ? 1 : 0;
        },
        [&] { tw::assignBstr(message, "The time query failed unexpectedly"); });
}

namespace {

double millisecondsOf(int64_t units) {
    return static_cast<double>(units) / tw::kUnitsPerMillisecond;
}

} // namespace

extern "C" int32_t WINAPI ASKTIMESERVERS(BSTR servers, int32_t port, int32_t timeoutSeconds,
                                         int32_t serversToAsk, int32_t samplesPerServer,
                                         ZYMDATE_PROGRESS progress, void* context,
                                         ZYMDATE_TIME_OUTCOME* outcome) {
    if (outcome == nullptr || outcome->size < sizeof(ZYMDATE_TIME_OUTCOME))
        return 0;
    std::memset(reinterpret_cast<char*>(outcome) + sizeof(outcome->size), 0,
                sizeof(ZYMDATE_TIME_OUTCOME) - sizeof(outcome->size));
    return tw::atEdge<int32_t>(
        0,
        [&] {
            zymdate::ServersRequest request;
            request.servers = zymdate::serverLines(tw::fromBstr(servers));
            request.port = port;
            request.budgetMs = timeoutSeconds > 0
                                   ? static_cast<uint32_t>(std::min(timeoutSeconds, 86'400)) * 1000u
                                   : 0;
            request.serversToAsk = serversToAsk;
            request.samplesPerServer = samplesPerServer;
            request.ntsCaFile = zymdate::nts::caFile();
            zymdate::QueryProgress told;
            if (progress != nullptr)
                told = [progress, context](const std::string& text) {
                    const tw::unique_bstr shown = tw::ownedBstr(text);
                    progress(context, shown.get());
                };
            const zymdate::ServersOutcome got = zymdate::askTimeServers(request, told);

            const size_t count = std::min<size_t>(got.answers.size(), ZYMDATE_MAX_ANSWERS);
            for (size_t i = 0; i < count; ++i) {
                const zymdate::ServerAnswer& a = got.answers[i];
                ZYMDATE_SERVER_ANSWER& to = outcome->answers[i];
                to.server = tw::makeBstr(a.server);
                to.verdict = static_cast<int32_t>(a.verdict);
                to.answered = a.samples > 0 ? 1 : 0;
                to.samples = a.samples;
                to.flags = (a.rateKiss ? ZYMDATE_ANSWER_RATE_KISS : 0) |
                           (a.authenticated ? ZYMDATE_ANSWER_AUTHENTICATED : 0);
                to.offsetMs = millisecondsOf(a.offsetUnits);
                to.delayMs = millisecondsOf(a.delayUnits);
                to.rootDistanceMs = millisecondsOf(a.rootDistanceUnits);
                to.message = tw::makeBstr(a.message);
            }
            outcome->answerCount = static_cast<int32_t>(count);
            outcome->message = tw::makeBstr(got.message);
            if (got.ok) {
                outcome->serverTime = got.serverTime;
                outcome->offsetMs = millisecondsOf(got.offsetUnits);
                outcome->errorBoundMs = millisecondsOf(got.errorBoundUnits);
                outcome->delayMs = millisecondsOf(got.delayUnits);
                outcome->source = tw::makeBstr(got.source);
            }
            return got.ok ? 1 : 0;
        },
        [&] {
            if (outcome->message == nullptr)
                outcome->message = tw::makeBstr("The time query failed unexpectedly");
        });
}

extern "C" int32_t WINAPI SETNTSCAFILE(BSTR path) {
    return tw::atEdge<int32_t>(0, [&] {
        const std::string file = tw::fromBstr(path);
        if (!file.empty() && !zymdate::nts::caFileUsable(file))
            return 0;
        zymdate::nts::setCaFile(file);
        return 1;
    });
}
