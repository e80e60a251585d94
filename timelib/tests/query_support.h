// Calling CHECKATOMICTIME as a program would, and reading what it hands back.
#pragma once

#include "scripted_server.h"
#include "socket/resolver.h"
#include "tw/bstr.h"
#include "tw/filetime.h"
#include "zymdate.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace zymdate::testing {

struct QueryCall {
    int32_t result = -1;
    std::string server;
    std::string message;
    double delay = -1;
    SYSTEMTIME time{};
};

inline QueryCall callCheckAtomicTime(const std::string& server, int32_t port, int32_t timeout) {
    QueryCall call;
    tw::unique_bstr serverText = tw::ownedBstr(server);
    tw::unique_bstr message;
    call.result = ::CHECKATOMICTIME(serverText.addressof(), &port, timeout, &call.delay, &call.time,
                                    message.addressof());
    call.server = tw::fromBstr(serverText.get());
    call.message = tw::fromBstr(message.get());
    return call;
}

// Milliseconds from `from` to `to`, both UTC records.
inline long long millisecondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    return (tw::systemTimeToUnits(to) - tw::systemTimeToUnits(from)) / tw::kUnitsPerMillisecond;
}

// The family's loopback address at port, as the resolver would give it.
inline net::Address loopbackAddress(tw::testserver::Family family, uint16_t port) {
    net::Address address;
    if (family == tw::testserver::Family::IPv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(address.storage);
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        a.sin6_port = ::htons(port);
        address.length = sizeof(a);
        address.family = AF_INET6;
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(address.storage);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        a.sin_port = ::htons(port);
        address.length = sizeof(a);
        address.family = AF_INET;
    }
    return address;
}

} // namespace zymdate::testing
