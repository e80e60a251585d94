// The default time servers: public Daytime servers of the national time
// service, shared by the program (its fresh settings file) and the service
// (a machine with no server list). No Win32 here.
#pragma once

#include <array>
#include <string_view>

namespace tw {

// Written to a fresh settings file as "Server0" .. "Server13". The program's
// list is slots 1..13; slot 0 is written but never part of it.
inline constexpr std::array<std::string_view, 14> kDefaultServers = {
    "time-a-g.nist.gov",    "time-b-g.nist.gov",     "time-c-g.nist.gov",   "time.nist.gov",
    "time-d-g.nist.gov",    "time-e-g.nist.gov",     "time-a-wwv.nist.gov", "time-b-wwv.nist.gov",
    "time-c-wwv.nist.gov",  "time-d-wwv.nist.gov",   "time-a-b.nist.gov",   "time-b-b.nist.gov",
    "utcnist.colorado.edu", "utcnist2.colorado.edu",
};

// The first slot of the list a program starts with.
inline constexpr size_t kFirstListedDefaultServer = 1;

} // namespace tw
