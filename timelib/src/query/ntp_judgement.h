// Judging one datagram that arrived in answer to an NTP request: whether it is
// an answer to this query at all (else it is ignored and the wait goes on),
// whether the server is fit to give the time, and if so the clock offset and
// the round-trip delay its four timestamps measure. No sockets, no clock: the
// exchange hands over the bytes, what it sent and when it received them.
#pragma once

#include "query/ntp_packet.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zymdate {

// One request as it left.
struct SentRequest {
    ntp::Timestamp transmit = 0; // what its transmit field carried, echoed by a true reply
    ntp::Timestamp sentAt = 0;   // t1: the PC clock when it left
};

enum class NtpFinding {
    Accepted,
    // Ignored: not an answer to this query. The wait goes on, so a stray, stale or
    // forged datagram can neither set the clock nor end the query.
    TooShort,       // fewer than 48 bytes
    NotServerMode,  // mode other than 4
    UnknownVersion, // version other than 3 or 4
    NotOurRequest,  // originate matches no transmit sent
    NoTransmitTime, // transmit timestamp zero
    // Refused: the server answered but gives no time worth taking.
    Kiss,           // stratum 0: a kiss-o'-death, its code in the reference field
    Unsynchronized, // leap indicator 3, or stratum 16
    InvalidStratum, // stratum above 16
    TooUncertain,   // root distance at or above kMaxRootDistance
};

bool isIgnored(NtpFinding finding);

// Half the root delay plus the root dispersion: how far the server itself may be
// from true time. NTP version 4 takes no source at or above 1.5 s (16.16 form).
inline constexpr uint64_t kMaxRootDistance = 3 * uint64_t{ntp::kShortOne} / 2;

struct NtpJudgement {
    NtpFinding finding = NtpFinding::TooShort;
    int stratum = 0;
    std::string kissCode;    // of a kiss-o'-death ("RATE", "DENY", ...)
    int64_t offsetUnits = 0; // the server's clock less the PC's, 100-ns units (accepted only)
    int64_t delayUnits = 0;  // (t4 - t1) - (t3 - t2), never below 0 (accepted only)
    int64_t rootDistanceUnits = 0; // the server's own distance from true time (accepted only)
    std::string message;     // accepted: the summary line; refused: why; ignored: empty
};

// server is the cleaned name the texts show, datagram the bytes received,
// sent every request of this query so far, receivedAt (t4) the PC clock when the
// datagram arrived, on the same time line as the requests' sentAt.
NtpJudgement judgeNtpReply(std::string_view server, std::string_view datagram,
                           std::span<const SentRequest> sent, ntp::Timestamp receivedAt);

} // namespace zymdate
