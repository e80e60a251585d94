#include "request_rules.h"

#include "tw/server_name.h"

#include <algorithm>

namespace tickwell::service {

namespace {

// A wait in whole seconds, rounded up so that asking again then is never early.
std::string secondsText(uint64_t ms) {
    const uint64_t seconds = std::max<uint64_t>(1, (ms + 999) / 1000);
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

} // namespace

bool serverAllowed(const MachineSettings& settings, const std::string& server) {
    if (server.empty() || settings.allowUsersServers)
        return true;
    const std::string identity = tw::serverIdentity(server);
    return std::any_of(settings.servers.begin(), settings.servers.end(),
                       [&](const std::string& s) { return tw::serverIdentity(s) == identity; });
}

std::string serverNotAllowedText(const std::string& server) {
    return "The server \"" + server +
           "\" is not in this PC's list of time servers, and this PC does not allow users' "
           "servers";
}

bool SetRateLimit::allow(uint64_t nowMs) {
    while (!starts_.empty() && starts_.front() + kSetWindowMs <= nowMs)
        starts_.pop_front();
    if (starts_.size() >= static_cast<size_t>(kMaxSetsPerMinute))
        return false;
    starts_.push_back(nowMs);
    return true;
}

std::string SetRateLimit::refusalText(uint64_t nowMs) const {
    // The starts still in the window are the newest; the set may start once the
    // oldest of the last kMaxSetsPerMinute leaves it.
    const auto inWindow =
        static_cast<size_t>(std::count_if(starts_.begin(), starts_.end(), [&](uint64_t start) {
            return start + kSetWindowMs > nowMs;
        }));
    const auto limit = static_cast<size_t>(kMaxSetsPerMinute);
    if (inWindow < limit)
        return "The clock may be set now";
    const uint64_t leavesAt = starts_[starts_.size() - limit] + kSetWindowMs;
    return "The clock was set " + std::to_string(kMaxSetsPerMinute) +
           " times in the last minute; the next set may start in " + secondsText(leavesAt - nowMs);
}

uint64_t ServerCourtesy::waitMs(const std::string& server, uint64_t nowMs) const {
    const auto found = servers_.find(tw::serverIdentity(server));
    if (found == servers_.end() || !found->second.asked)
        return 0;
    const Entry& entry = found->second;
    const uint64_t since = nowMs > entry.lastMs ? nowMs - entry.lastMs : 0;
    return since >= entry.waitMs ? 0 : entry.waitMs - since;
}

void ServerCourtesy::asked(const std::string& server, uint64_t nowMs) {
    Entry& entry = servers_[tw::serverIdentity(server)];
    entry.asked = true;
    entry.lastMs = nowMs;
}

void ServerCourtesy::askedLessOften(const std::string& server) {
    Entry& entry = servers_[tw::serverIdentity(server)];
    entry.waitMs = std::min(entry.waitMs * 2, kLongestCourtesyMs);
}

std::string ServerCourtesy::refusalText(const std::string& server, uint64_t nowMs) const {
    const std::string name = tw::cleanServerName(server);
    const uint64_t wait = waitMs(server, nowMs);
    if (wait == 0)
        return "The server \"" + name + "\" may be asked now";
    return "The server \"" + name + "\" was asked moments ago; it may be asked again in " +
           secondsText(wait);
}

} // namespace tickwell::service
