#include "server_list.h"

#include <algorithm>

#include "tw/server_name.h"
#include "tw/trim.h"

namespace tickwell {

int serverPosition(const Settings& s, const std::string& server) {
    const int filled = s.serverCount < kMaxServers ? s.serverCount : kMaxServers;
    for (int n = 1; n <= filled; ++n)
        if (s.serverList[n] == server)
            return n - 1;
    const std::string cleaned = tw::cleanServerName(server);
    if (cleaned.empty())
        return -1;
    for (int n = 1; n <= filled; ++n)
        if (tw::cleanServerName(s.serverList[n]) == cleaned)
            return n - 1;
    return -1;
}

std::vector<std::string> serversInAskingOrder(const Settings& s) {
    std::vector<std::string> servers{s.currentServer};
    if (s.serversToAsk <= 1)
        return servers;
    const int count = std::clamp(s.serverCount, 0, kMaxServers);
    const int at = serverPosition(s, s.currentServer);
    for (int i = 1; i <= count; ++i) {
        const int slot = (at < 0 ? i - 1 : (at + i) % count) + 1;
        if (slot - 1 != at)
            servers.push_back(s.serverList[slot]);
    }
    return servers;
}

std::string dottedAddress(uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((address >> shift) & 0xFF);
        if (shift != 0)
            text += '.';
    }
    return text;
}

AddServerDecision decideAddServer(int serverCount, std::string_view typedName, uint32_t address) {
    if (serverCount >= kMaxServers)
        return {AddServerDecision::Kind::ListFull, {}};
    if (const std::string_view name = tw::trimmed(typedName, tw::kSpaceAndTab); !name.empty())
        return {AddServerDecision::Kind::Add, std::string(name)};
    if (address == 0)
        return {AddServerDecision::Kind::NothingEntered, {}};
    return {AddServerDecision::Kind::Add, dottedAddress(address)};
}

void appendServer(Settings& s, const std::string& name) {
    s.serverCount += 1;
    s.serverList[s.serverCount] = name;
    s.currentServer = name;
}

} // namespace tickwell
