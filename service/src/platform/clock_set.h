// Setting the PC clock from the service: the privilege enabled in its own
// token, the clock set, the change worded as the library words it. Nothing
// here shows a window (a service has no one to show it to).
#pragma once

#include <windows.h>

#include <string>

namespace tickwell::service {

struct ClockSet {
    bool set = false;     // the clock was set
    bool matches = false; // the change was none ("PC Clock Matches")
    std::string text;     // the worded change, or why the clock was not set
};

ClockSet setClock(const SYSTEMTIME& utc);

} // namespace tickwell::service
