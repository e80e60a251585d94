// Calling CHECKATOMICTIME as a program would, and reading what it hands back.
#pragma once

#include "tw/bstr.h"
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
    FILETIME a{}, b{};
    ::SystemTimeToFileTime(&from, &a);
    ::SystemTimeToFileTime(&to, &b);
    const auto units = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                      f.dwLowDateTime);
    };
    return (units(b) - units(a)) / 10'000;
}

} // namespace zymdate::testing
