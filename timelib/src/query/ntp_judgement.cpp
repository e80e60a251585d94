#include "query/ntp_judgement.h"

#include "query/query_messages.h"
#include "tw/filetime.h"

#include <algorithm>

namespace zymdate {

bool isIgnored(NtpFinding finding) {
    switch (finding) {
    case NtpFinding::TooShort:
    case NtpFinding::NotServerMode:
    case NtpFinding::UnknownVersion:
    case NtpFinding::NotOurRequest:
    case NtpFinding::NoTransmitTime:
        return true;
    default:
        return false;
    }
}

NtpJudgement judgeNtpReply(std::string_view server, std::string_view datagram,
                           std::span<const SentRequest> sent, ntp::Timestamp receivedAt) {
    NtpJudgement out;
    const std::optional<ntp::Packet> packet = ntp::parse(datagram);
    if (!packet) {
        out.finding = NtpFinding::TooShort;
        return out;
    }
    const ntp::Packet& p = *packet;
    out.stratum = p.stratum;
    if (p.mode != ntp::kModeServer) {
        out.finding = NtpFinding::NotServerMode;
        return out;
    }
    if (p.version != 3 && p.version != ntp::kVersion) {
        out.finding = NtpFinding::UnknownVersion;
        return out;
    }
    // Each request carried a transmit value of its own: the reply to a lost
    // request that arrives late still times the exchange right.
    const auto request = std::find_if(
        sent.begin(), sent.end(), [&p](const SentRequest& r) { return r.transmit == p.originate; });
    if (request == sent.end()) {
        out.finding = NtpFinding::NotOurRequest;
        return out;
    }
    if (p.transmit == 0) {
        out.finding = NtpFinding::NoTransmitTime;
        return out;
    }

    // The kiss comes before the health fields: a kiss-o'-death carries leap 3 as well.
    if (p.stratum == ntp::kStratumKiss) {
        out.finding = NtpFinding::Kiss;
        out.kissCode = ntp::referenceText(p.stratum, p.referenceId);
        out.message = messages::ntpKiss(server, out.kissCode);
        return out;
    }
    if (p.leap == ntp::kLeapAlarm || p.stratum == ntp::kStratumMax + 1) {
        out.finding = NtpFinding::Unsynchronized;
        out.message = messages::ntpUnsynchronized(server);
        return out;
    }
    if (p.stratum > ntp::kStratumMax) {
        out.finding = NtpFinding::InvalidStratum;
        out.message = messages::ntpInvalidStratum(server, p.stratum);
        return out;
    }
    const uint64_t rootDistance = p.rootDelay / 2 + uint64_t{p.rootDispersion};
    if (rootDistance >= kMaxRootDistance) {
        out.finding = NtpFinding::TooUncertain;
        out.message = messages::ntpUncertain(
            server, static_cast<long long>(rootDistance * 1000 / ntp::kShortOne));
        return out;
    }

    // t1 and t4 on the PC clock, t2 and t3 on the server's; every difference is
    // taken between nearby timestamps, so the era each lies in never matters.
    const ntp::Timestamp t1 = request->sentAt, t2 = p.receive, t3 = p.transmit, t4 = receivedAt;
    out.offsetUnits = (ntp::unitsBetween(t1, t2) + ntp::unitsBetween(t4, t3)) / 2;
    // A server whose clock runs apart from ours over its hold can make this a
    // hair negative on a fast link; no path takes less than nothing.
    out.delayUnits = std::max<int64_t>(0, ntp::unitsBetween(t1, t4) - ntp::unitsBetween(t2, t3));
    out.rootDistanceUnits =
        static_cast<int64_t>(rootDistance * tw::kUnitsPerSecond / ntp::kShortOne);
    out.finding = NtpFinding::Accepted;
    out.message =
        messages::ntpSummary(server, p.stratum, ntp::referenceText(p.stratum, p.referenceId),
                             out.offsetUnits, out.delayUnits);
    return out;
}

} // namespace zymdate
