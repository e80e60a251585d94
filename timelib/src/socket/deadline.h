// The time a wait may last: a deadline that starts when it is made, read from
// the millisecond counter the exchange is timed by (the clock seam), and the
// select() time-out that keeps a wait within it.
#pragma once

#include <winsock2.h>

#include <cstddef>
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
    // One of turnsLeft equal shares of what is left, at least 1 ms; 0 once
    // passed. A name's addresses are asked in turn, each with its share when its
    // turn comes, so one that drops packets leaves the later ones their time.
    uint32_t shareMs(size_t turnsLeft) const;

  private:
    uint32_t waitMs_;
    uint32_t startMs_; // the counter wraps after 49.7 days; differences stay right
};

// A select() time-out: what is left of deadline, at most capMs when that is
// set; nullptr (no limit) when neither bounds the wait.
timeval* selectLimit(const Deadline& deadline, uint32_t capMs, timeval& storage);

} // namespace zymdate::net
