// Exports of the time query: thin adapters over time_query and rfc868.
#include "zymdate.h"

#include "query/rfc868.h"
#include "query/time_query.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

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
