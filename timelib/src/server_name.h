// The host name in a server setting, which may carry a note after it
// ("time-a-g.nist.gov (Gaithersburg, Maryland)"). No Win32 here.
#pragma once

#include <string>
#include <string_view>

namespace zymdate {

// Leading spaces dropped, then cut at the first space or "(".
std::string cleanServerName(std::string_view name);

} // namespace zymdate
