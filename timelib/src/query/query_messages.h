// The texts the time query hands back when it has no time to give. No Win32 here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zymdate::messages {

std::string cannotConnect(std::string_view server);                         // case A, n = 24 or 57
std::string connectError(long long n, std::string_view description);        // case A, other n
std::string receiveError(long long n, std::string_view description);        // case B
std::string unhealthy(std::string_view server);                             // health 1
std::string veryUnhealthy(std::string_view server);                         // health 2
std::string notOnTime(std::string_view text);                               // no on-time marker
std::string noTime(std::string_view server, size_t replyBytes);             // empty or short reply
std::string unreadableDate(std::string_view server, std::string_view text); // date field unreadable

// NTP (port 123). Times are 100-ns units, shown in milliseconds.
std::string ntpSummary(std::string_view server, int stratum, std::string_view reference,
                       long long offsetUnits, long long delayUnits);
std::string ntpKiss(std::string_view server, std::string_view code);
std::string ntpUnsynchronized(std::string_view server);
std::string ntpInvalidStratum(std::string_view server, int stratum);
std::string ntpUncertain(std::string_view server, long long rootDistanceMs);
std::string ntpUnreadableTime(std::string_view server);

// Several servers or a burst of samples.
std::string noServerGiven();
std::string asking(std::string_view server, int sample, int samples); // progress of one
std::string askingSeveral(size_t servers);                            // progress of several
// One server's answer: the summary of the sample with the least delay of `samples`.
std::string leastDelayOf(std::string_view summary, int samples);
std::string falseticker(std::string_view server, size_t agreeing);
std::string twoDisagree(std::string_view first, std::string_view second,
                        long long differenceUnits);
std::string noMajority(const std::vector<std::string>& answered);
std::string noServerGaveTime(const std::vector<std::string>& reasons);
// One line of every server asked: "name +1.2 ms" for an answer, with a note in
// parentheses when it was not used or did not answer.
struct AskedServer {
    std::string server;
    bool answered = false;
    long long offsetUnits = 0;
    std::string note; // empty for a server whose time was used
};
std::string serversSummary(std::string_view source, long long errorBoundUnits,
                           const std::vector<AskedServer>& asked);

} // namespace zymdate::messages
