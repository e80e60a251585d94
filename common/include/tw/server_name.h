// The host name in a server setting, which may carry a note after it
// ("time-a-g.nist.gov (Gaithersburg, Maryland)"): the library asks the name, the
// program matches list entries by it. No Win32 here.
#pragma once

#include "tw/trim.h"

#include <string>
#include <string_view>

namespace tw {

// Leading spaces dropped, then cut at the first space or "(".
inline std::string cleanServerName(std::string_view name) {
    name = trimmed(name, kSpace);
    return std::string(name.substr(0, name.find_first_of(" (")));
}

} // namespace tw
