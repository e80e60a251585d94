#include "query/ntp_exchange.h"

#include <windows.h>
#include <ntsecapi.h>

namespace zymdate {

ntp::Timestamp requestCookie(const TimeLine& line) {
    ntp::Timestamp cookie = 0;
    if (!::RtlGenRandom(&cookie, sizeof(cookie)))
        cookie = static_cast<ntp::Timestamp>(line.nowUnits()) * 0x9E3779B97F4A7C15u;
    // Zero would be a missing transmit time to the server.
    return cookie != 0 ? cookie : 1;
}

} // namespace zymdate
