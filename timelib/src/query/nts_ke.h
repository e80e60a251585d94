// The NTS key exchange as a client runs it: a TLS 1.3 connection to the server's
// key-exchange port with the application protocol "ntske/1", the server's
// certificate checked against its name (the Windows certificate store, or a CA
// file for private servers), the request and response records of nts_records.h,
// and the two keys from the TLS exporter. Blocking, every wait bounded by the
// budget; it takes no library slot, so it may run on a thread of a query.
#pragma once

#include "query/nts_records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zymdate::nts {

struct KeTarget {
    std::string host; // a name, a dotted IPv4 address or an IPv6 address without brackets
    int port = kKePort;
};

// The key-exchange server a server name asks for; nothing when the name is not
// an NTS one. A name with the scheme but no usable host or port gives a target
// with an empty host (the caller refuses it with its own words).
std::optional<KeTarget> keTarget(std::string_view server);

struct KeyExchange {
    bool ok = false;
    std::string failure; // a whole sentence naming the server (ok false)
    KeResponse response; // the cookies and where to send NTP (ok true)
    std::array<uint8_t, kKeyBytes> clientToServer{};
    std::array<uint8_t, kKeyBytes> serverToClient{};
};

// Whether file is a PEM file holding at least one certificate.
bool caFileUsable(const std::string& file);

// caFile: a PEM file of the authorities to trust instead of the Windows store
// (empty: the store). server is the name the texts show.
KeyExchange exchangeKeys(std::string_view server, const KeTarget& target,
                         const std::string& caFile, uint32_t budgetMs);

} // namespace zymdate::nts
