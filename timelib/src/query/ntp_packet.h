// The NTP packet as a simple (SNTP) client sends and reads it: 48 bytes, version
// 4 on the wire, client mode 3, server mode 4, and NTP's 64-bit timestamps
// (RFC 4330, RFC 5905 for the field formats). No Win32 calls here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zymdate::ntp {

inline constexpr int kPort = 123;
inline constexpr size_t kPacketBytes = 48;
inline constexpr int kVersion = 4;
inline constexpr int kModeClient = 3;
inline constexpr int kModeServer = 4;
inline constexpr int kLeapAlarm = 3;            // the server's clock is not synchronized
inline constexpr int kStratumKiss = 0;          // a kiss-o'-death: the reference names why
inline constexpr int kStratumMax = 15;          // 16 means unsynchronized, above is invalid
inline constexpr uint32_t kShortOne = 1u << 16; // one second in the 16.16 fields

// The kiss code (as referenceText reads it) of an NTS NAK: the server could not use
// the request's cookie, so a new key exchange is due (RFC 8915 5.7).
inline constexpr std::string_view kKissNtsNak = "NTSN";

// Seconds since the start of the timestamp's era in the high 32 bits, the
// fraction of a second in the low 32. Era 0 began on 1 January 1900 UTC and
// ends on 7 February 2036 06:28:16 UTC, when the seconds wrap to 0: a
// timestamp alone does not say its era, only differences of nearby ones count.
using Timestamp = uint64_t;

// The timestamp of a FILETIME count (100-ns units since 1601), in whatever era
// the count lies. Rounded to the nearest 2^-32 s.
Timestamp fromUnits(int64_t units);

// later − earlier in 100-ns units, right across an era boundary as long as the
// two lie within 68 years of each other (half of an era).
int64_t unitsBetween(Timestamp earlier, Timestamp later);

// The fields a client reads.
struct Packet {
    int leap = 0;                // 0..3
    int version = 0;             // 0..7
    int mode = 0;                // 0..7
    int stratum = 0;             // 0..255
    uint32_t rootDelay = 0;      // seconds in 16.16
    uint32_t rootDispersion = 0; // seconds in 16.16
    uint32_t referenceId = 0;    // the four bytes, first byte highest
    Timestamp originate = 0;
    Timestamp receive = 0;
    Timestamp transmit = 0;
};

// Nothing when the datagram is shorter than a packet; anything after the 48
// bytes (extension fields, an authenticator) is not read.
std::optional<Packet> parse(std::string_view datagram);

// A client request whose transmit field holds `transmit`; everything else is
// zero but the version and the mode, so it tells the server nothing about this PC.
std::string clientRequest(Timestamp transmit);

// The reference ID as text: the four ASCII characters of a kiss code or of a
// stratum-1 server's reference clock ("GPS", "PPS"), anything unprintable as "?";
// above stratum 1 the upstream server's IPv4 address (or a hash of its IPv6 one).
std::string referenceText(int stratum, uint32_t referenceId);

} // namespace zymdate::ntp
