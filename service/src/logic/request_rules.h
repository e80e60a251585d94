// What the service lets a client ask. A client may name a server only when it
// is in the machine's list or the machine allows users' servers; no server is
// asked twice within the courtesy interval, whoever asks; and the clock is set
// at most kMaxSetsPerMinute times a minute, whoever asks.
#pragma once

#include "machine_settings.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace tickwell::service {

inline constexpr int kMaxSetsPerMinute = 6;
inline constexpr uint64_t kCourtesyMs = 4'000;
// The longest a RATE kiss stretches a server's wait.
inline constexpr uint64_t kLongestCourtesyMs = 3'600'000;
// The window kMaxSetsPerMinute counts in.
inline constexpr uint64_t kSetWindowMs = 60'000;

// The server a client named may be asked (compared as the query cleans names,
// in any case).
bool serverAllowed(const MachineSettings& settings, const std::string& server);

// The refusal's text for a server not allowed.
std::string serverNotAllowedText(const std::string& server);

// The sets of the last minute, on a millisecond count that only moves forward.
class SetRateLimit {
  public:
    // True (and counted) when a set may start at nowMs.
    bool allow(uint64_t nowMs);
    // The text of a refusal at nowMs: when the next set may start.
    std::string refusalText(uint64_t nowMs) const;

  private:
    std::deque<uint64_t> starts_;
};

// When each server was last asked.
class ServerCourtesy {
  public:
    // Milliseconds until the server may be asked again (0: now).
    uint64_t waitMs(const std::string& server, uint64_t nowMs) const;
    void asked(const std::string& server, uint64_t nowMs);
    // A RATE kiss: twice the wait for that server from now on, up to an hour.
    void askedLessOften(const std::string& server);
    std::string refusalText(const std::string& server, uint64_t nowMs) const;

  private:
    struct Entry {
        bool asked = false; // a RATE kiss may come before the ask is noted
        uint64_t lastMs = 0;
        uint64_t waitMs = kCourtesyMs;
    };
    std::map<std::string, Entry> servers_; // by cleaned, lower-case name
};

} // namespace tickwell::service
