// The time-server list's rules: which entry is the current server, and what
// "&Add" makes of a typed name or an address. No Win32.
#pragma once

#include "settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tickwell {

// The position (0 for slot 1) of the current server in the filled slots: the
// first entry equal to it, else the first whose cleaned name equals its cleaned
// name (a query has cleaned it since it was chosen); -1 when none matches.
int serverPosition(const Settings& s, const std::string& server);

// The servers a query of several asks, in order: the current server, then the
// ones after it in the list, going round to the start. Only the current
// server when "Servers to ask" is 1.
std::vector<std::string> serversInAskingOrder(const Settings& s);

// An IPv4 address, first field in the highest byte, as four decimal fields
// joined by "." (no leading zeros).
std::string dottedAddress(uint32_t address);

struct AddServerDecision {
    enum class Kind {
        Add,            // name is the server to append
        NothingEntered, // neither a name nor an address: nothing to add
        ListFull,       // the list holds its 25 servers
    };
    Kind kind;
    std::string name;
};

// "&Add": the typed name without its blanks around it, or else the address
// (0.0.0.0, a blank address control, is no server).
AddServerDecision decideAddServer(int serverCount, std::string_view typedName, uint32_t address);

// Appends the server to the next slot and makes it the current server; the
// caller has checked there is room.
void appendServer(Settings& s, const std::string& name);

} // namespace tickwell
