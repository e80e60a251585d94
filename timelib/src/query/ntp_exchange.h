// What every NTP exchange of a query shares, whether it asks one server or
// several: one time line for the send and receive times, and the request's
// random transmit field.
#pragma once

#include "clock/pc_clock_seam.h"
#include "query/ntp_packet.h"

#include <cstdint>

namespace zymdate {

// The PC clock read once and carried on by the counter: the send and receive
// times of one query lie on one line that neither a coarse clock tick nor a
// clock set by someone else during the exchange can bend.
class TimeLine {
  public:
    TimeLine() : clockUnits_(pcClock().preciseUnits()), counterUnits_(pcClock().counterUnits()) {}
    int64_t nowUnits() const { return clockUnits_ + (pcClock().counterUnits() - counterUnits_); }
    ntp::Timestamp now() const { return ntp::fromUnits(nowUnits()); }

  private:
    int64_t clockUnits_;
    int64_t counterUnits_;
};

// The transmit field of a request carries 64 random bits instead of the PC's
// time: a reply must echo them, which no one who did not see the request can,
// and the server learns nothing about this PC's clock.
ntp::Timestamp requestCookie(const TimeLine& line);

} // namespace zymdate
