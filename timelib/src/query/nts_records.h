// The records of the NTS key exchange (RFC 8915 section 4) as a client writes
// and reads them inside the TLS connection: each one 2 bytes of critical bit
// and type, 2 bytes of body length, then the body, all in network order.
// Pure bytes: the TLS session and its keying-material exporter live elsewhere
// and hand this code what they sent and received. No Win32 here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zymdate::nts {

inline constexpr int kKePort = 4460;
inline constexpr std::string_view kAlpn = "ntske/1"; // the only TLS application protocol
inline constexpr std::string_view kExporterLabel = "EXPORTER-network-time-security";
inline constexpr size_t kKeyBytes = 32; // each direction's key for AES-SIV-CMAC-256

inline constexpr uint16_t kProtocolNtpV4 = 0;
inline constexpr uint16_t kAeadAesSivCmac256 = 15; // RFC 5116's number for RFC 5297's SIV

inline constexpr uint16_t kCritical = 0x8000;
enum class RecordType : uint16_t {
    EndOfMessage = 0,
    NextProtocol = 1,
    Error = 2,
    Warning = 3,
    Aead = 4,
    NewCookie = 5,
    NtpServer = 6,
    NtpPort = 7,
};

// Bounds of what this client takes from a server. Servers send 8 cookies, each
// spent on one request; a request carries its cookie and as many placeholders of
// the same size, so 1024 bytes keeps even a request asking for a few more
// cookies well inside one datagram.
inline constexpr size_t kMaxCookies = 8;
inline constexpr size_t kMaxCookieBytes = 1024;
inline constexpr size_t kMaxResponseBytes = 64 * 1024; // up to its End of Message
inline constexpr size_t kMaxServerNameBytes = 255;

// The whole request: NTPv4 as the next protocol, AES-SIV-CMAC-256 as the AEAD,
// End of Message; every record critical.
std::vector<uint8_t> keRequest();

// The context of the TLS exporter for one direction's key: the next protocol,
// the AEAD, then 0 for the client-to-server key or 1 for the server-to-client key.
std::array<uint8_t, 5> exporterContext(bool serverToClient);

struct KeResponse {
    std::vector<std::vector<uint8_t>> cookies; // in the order sent, at most kMaxCookies
    // What the server chose; a response is only complete when it chose what was offered.
    uint16_t protocol = kProtocolNtpV4;
    uint16_t aead = kAeadAesSivCmac256;
    std::string ntpServer; // as sent (an IPv6 address with or without brackets); empty: the
                           // key-exchange server itself
    uint16_t ntpPort = 0;  // 0: NTP's own port 123
    std::vector<uint16_t> warnings; // codes of Warning records, which do not end the exchange
};

struct KeParse {
    enum class State {
        NeedMore, // nothing wrong so far, but no End of Message yet: read on
        Complete, // response holds what the server negotiated
        Failed,   // failure says why, in words for the user
    };
    State state = State::NeedMore;
    KeResponse response;
    std::string failure; // "the server reported a bad request": the caller names the server
};

// Reads the response from every byte received so far; call it again over all of
// them when more arrive, with streamEnded once the server has closed (or TLS has
// ended) the stream. Records after End of Message are ignored.
KeParse parseKeResponse(std::span<const uint8_t> bytes, bool streamEnded);

} // namespace zymdate::nts
