// What an NTS client keeps between its key exchange and its NTP requests: the
// two keys, the cookies not yet spent and where to send NTP, for each NTS server
// asked in this process; and one request sealed, one reply opened with them.
#pragma once

#include "query/nts_fields.h"
#include "query/nts_ke.h"
#include "query/nts_records.h"
#include "query/ntp_packet.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zymdate::nts {

// The cookies a client holds at most: what a key exchange gives.
inline constexpr size_t kCookiesKept = kMaxCookies;

struct Association {
    std::array<uint8_t, kKeyBytes> clientToServer{};
    std::array<uint8_t, kKeyBytes> serverToClient{};
    std::deque<std::vector<uint8_t>> cookies; // each spent once, oldest first
    std::string ntpHost;                      // where NTP goes
    int ntpPort = ntp::kPort;
};

// What a key exchange with keHost gave: its keys, its cookies (taken from keys) and
// where it sends NTP (keHost on port 123 unless it named others).
Association associationOf(KeyExchange& keys, const std::string& keHost);

// What an association is kept under: the server as named (in any case) and the
// CA file its certificate was checked with (empty: the Windows store).
std::string associationKey(std::string_view server, std::string_view caFile);

// The association kept for key, taken out so that no other query spends its cookies; none when there is
// none or it has no cookie left. keepAssociation puts one back, replacing what was kept.
std::optional<Association> takeAssociation(const std::string& key);
void keepAssociation(const std::string& key, Association association);
void forgetAssociations(); // every one the process keeps (the tests' fresh start)

// The PEM file of authorities NTS certificates are checked against in this process
// (SETNTSCAFILE); empty: the Windows certificate store.
std::string caFile();
void setCaFile(std::string file);

struct SealedRequest {
    std::string datagram;
    std::array<uint8_t, kUniqueIdBytes> uniqueId{};
};

// One request carrying transmit, the oldest cookie (spent: removed from
// association) and placeholders for the cookies wanted back to hold
// kCookiesKept. None when no cookie is left or randomness or the cipher fails.
std::optional<SealedRequest> sealRequest(ntp::Timestamp transmit, Association& association);

enum class ReplyVerdict {
    Authentic, // verified with the server-to-client key: the time may be judged
    Nak,       // an NTS NAK answering this request: the cookie was refused
    Forged,    // anything else: ignored, as a stray datagram is
};

struct OpenedReply {
    ReplyVerdict verdict = ReplyVerdict::Forged;
    std::vector<std::vector<uint8_t>> cookies; // new ones, from the encrypted part
};

OpenedReply openReply(std::string_view datagram, const SealedRequest& request,
                      const Association& association);

} // namespace zymdate::nts
