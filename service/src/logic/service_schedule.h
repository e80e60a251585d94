// The service's own schedule: with automatic set on, a set every interval
// whether or not anyone is signed in, and after a failed one a retry five
// minutes later. A set refused by the limit on automatic changes is not a
// failure: the regular interval goes on.
#pragma once

#include <cstdint>

namespace tickwell::service {

inline constexpr uint64_t kRetryMs = 5 * 60'000;
// The first set after the service starts: soon, once the network is likely up.
inline constexpr uint64_t kFirstSetMs = 60'000;

enum class SetOutcome { Set, Failed, RefusedByLimit };

class ServiceSchedule {
  public:
    // intervalMinutes of the machine settings (at least 1).
    explicit ServiceSchedule(int32_t intervalMinutes, uint64_t startMs);

    // A set is due at nowMs.
    bool due(uint64_t nowMs) const;
    // Milliseconds from nowMs until the next set (0 when due).
    uint64_t untilNextMs(uint64_t nowMs) const;
    // The set that was due ended so: the next one is an interval on, or the retry.
    void finished(SetOutcome outcome, uint64_t nowMs);
    // New machine settings: the next set keeps its time unless the new
    // interval brings it nearer.
    void setInterval(int32_t intervalMinutes, uint64_t nowMs);

  private:
    uint64_t intervalMs_;
    uint64_t nextMs_;
};

} // namespace tickwell::service
