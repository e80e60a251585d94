// The host name in a server setting, which may carry a note after it
// ("time-a-g.nist.gov (Gaithersburg, Maryland)"): the library asks the name, the
// program matches list entries by it. No Win32 here.
#pragma once

#include "tw/trim.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace tw {

// Leading spaces dropped, then cut at the first space or "(".
inline std::string cleanServerName(std::string_view name) {
    name = trimmed(name, kSpace);
    return std::string(name.substr(0, name.find_first_of(" (")));
}

// What makes two settings the same server: the cleaned name, in any case, as
// host names are.
inline std::string serverIdentity(std::string_view name) {
    std::string key = cleanServerName(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

// The scheme that makes a server of a list an NTS one: "nts://host" or
// "nts://host:port" (the key-exchange port; an IPv6 address in brackets).
inline constexpr std::string_view kNtsScheme = "nts://";

// A server asked with Network Time Security: its name starts kNtsScheme (in any
// case), as zymdate.dll reads it. The library never falls back to plain NTP for
// such a server, so a time from one was authenticated.
inline bool isNtsServerName(std::string_view name) {
    name = trimmed(name, kSpace);
    if (name.size() < kNtsScheme.size())
        return false;
    for (size_t i = 0; i < kNtsScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != kNtsScheme[i])
            return false;
    return true;
}

} // namespace tw
