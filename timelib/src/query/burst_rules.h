// The rules of a burst of NTP samples from one server and of the time a
// server that does not answer is given before the next one is asked. Plain
// values, no sockets or clock.
#pragma once

#include "tw/filetime.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zymdate {

inline constexpr int kMaxServersToAsk = 5;
inline constexpr int kMaxSamplesPerServer = 8;
// The least time between two requests to one server in a burst: the public
// time services' published rule. A RATE kiss doubles it, up to the most.
inline constexpr uint32_t kSampleSpacingMs = 4'000;
inline constexpr uint32_t kMaxSampleSpacingMs = 64'000;
// A burst ends early once a sample comes this close to the least delay seen:
// the path's floor is reached and more samples would only load the server.
inline constexpr int64_t kSettledDelayUnits = tw::kUnitsPerMillisecond;
// A server still to answer its first request is given a share of what is left
// among itself and at most this many turns after it, so that the next servers
// of a long list still have time when it stays silent.
inline constexpr size_t kFailoverTurns = 2;
// How long the reply to a later sample of a burst is awaited at most: a reply
// slower than the least delay seen would not be chosen anyway.
inline constexpr uint32_t kLaterReplyWaitMs = 1'000;

// One exchange with a server, in 100-ns units.
struct Sample {
    int64_t offsetUnits = 0;       // the server's clock less the PC's
    int64_t delayUnits = 0;        // the round trip less the server's hold
    int64_t rootDistanceUnits = 0; // the server's own distance from true time
    std::string summary;           // the exchange worded for the user
};

// The sample with the least delay (the first of equals), as NTP's clock filter
// keeps it: the one least bent by queues on the path. samples is not empty.
size_t leastDelaySample(std::span<const Sample> samples);

// Whether the newest of two or more samples comes within kSettledDelayUnits of
// the least delay of those before it, either way: two samples agree on the floor.
bool burstSettled(std::span<const Sample> samples);

// The time a server may take to answer its first request: leftMs shared
// among it and up to kFailoverTurns of the sparesAfter servers that could
// follow it. At least 1 ms while any time is left.
uint32_t contactShareMs(uint32_t leftMs, size_t sparesAfter);

// How long the reply to a later request of a burst is awaited, given the least
// delay seen so far: twice that and a margin, at most kLaterReplyWaitMs.
uint32_t laterReplyWaitMs(int64_t leastDelayUnits);

} // namespace zymdate
