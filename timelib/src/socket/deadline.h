// The time a wait may last: a deadline that starts when it is made, and the
// select() time-out that keeps a wait within it.
#pragma once

#include <winsock2.h>

#include <cstdint>

namespace zymdate::net {

// A wait that began when this was made and may last waitMs; 0 is no limit.
class Deadline {
  public:
    explicit Deadline(uint32_t waitMs);
    bool unlimited() const { return waitMs_ == 0; }
    // Milliseconds left, 0 once passed (meaningless when unlimited).
    uint32_t leftMs() const;
    uint32_t spentMs() const;

  private:
    uint32_t waitMs_;
    unsigned long long startTick_;
};

// A select() time-out: what is left of deadline, at most capMs when that is
// set; nullptr (no limit) when neither bounds the wait.
timeval* selectLimit(const Deadline& deadline, uint32_t capMs, timeval& storage);

} // namespace zymdate::net
