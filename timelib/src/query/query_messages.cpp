#include "query/query_messages.h"

#include "shared/number_text.h"
#include "zymdate_texts.h"

#include <cstdlib>

namespace zymdate::messages {

std::string cannotConnect(std::string_view server) {
    return "Could not establish connection to " + std::string(server);
}

std::string connectError(long long n, std::string_view description) {
    return "Error (" + numberText(n) + ")" + std::string(description);
}

std::string receiveError(long long n, std::string_view description) {
    return "Error " + numberText(n) + " " + std::string(description);
}

std::string unhealthy(std::string_view server) {
    return std::string(server) +
           " appears to be unhealthy, please check again in 10 minutes or more";
}

std::string veryUnhealthy(std::string_view server) {
    return std::string(server) + " is very unhealthy, please try another server";
}

std::string notOnTime(std::string_view text) {
    return "Network delays are preventing time from being received on time\r\n" + std::string(text);
}

std::string noTime(std::string_view server, size_t replyBytes) {
    if (replyBytes == 0)
        return std::string(server) + " closed the connection without sending a time";
    return std::string(server) + " sent only " + std::to_string(replyBytes) +
           (replyBytes == 1 ? " byte" : " bytes") + ", too few to hold a time";
}

std::string unreadableDate(std::string_view server, std::string_view text) {
    return std::string(server) + " sent a time line whose date could not be read\r\n" +
           std::string(text);
}

namespace {

// "+1250.3 ms": tenths of a millisecond, rounded, always signed when asked.
std::string millisecondsText(long long units, bool signed_) {
    const long long tenths = (units >= 0 ? units + 500 : units - 500) / 1000;
    const long long magnitude = std::llabs(tenths);
    std::string text = signed_ ? (tenths < 0 ? "-" : "+") : (tenths < 0 ? "-" : "");
    return text + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10) + " ms";
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator,
                   std::string_view last) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += i + 1 == parts.size() ? last : separator;
        text += parts[i];
    }
    return text;
}

} // namespace

std::string ntpSummary(std::string_view server, int stratum, std::string_view reference,
                       long long offsetUnits, long long delayUnits) {
    std::string text =
        "NTP time from " + std::string(server) + ": stratum " + std::to_string(stratum);
    if (!reference.empty())
        text += ", reference " + std::string(reference);
    return text + ", offset " + millisecondsText(offsetUnits, true) + ", delay " +
           millisecondsText(delayUnits, false);
}

std::string ntpKiss(std::string_view server, std::string_view code) {
    // Callers look for the RATE phrase to ask this server less often.
    if (code == "RATE")
        return std::string(server) + " sent the " ZYMDATE_RATE_KISS_TEXT
                                     ": it asks to be asked less often, please wait before "
                                     "asking again";
    const std::string kiss =
        std::string(server) + " sent the kiss-o'-death code " + std::string(code);
    if (code == "DENY" || code == "RSTR")
        return kiss + ": it refuses to serve this computer, please try another server";
    return kiss + ", please try another server";
}

std::string ntpUnsynchronized(std::string_view server) {
    return std::string(server) + " appears to be unhealthy (its clock is not synchronized), "
                                 "please check again in 10 minutes or more";
}

std::string ntpInvalidStratum(std::string_view server, int stratum) {
    return std::string(server) + " is very unhealthy (stratum " + std::to_string(stratum) +
           "), please try another server";
}

std::string ntpUncertain(std::string_view server, long long rootDistanceMs) {
    return std::string(server) + " appears to be unhealthy (its time is uncertain by " +
           std::to_string(rootDistanceMs) + " ms), please check again in 10 minutes or more";
}

std::string ntpUnreadableTime(std::string_view server) {
    return std::string(server) + " sent a time that lies outside the calendar of this PC";
}

std::string noServerGiven() {
    return "No time server was given to ask";
}

std::string asking(std::string_view server, int sample, int samples) {
    std::string text = "Asking " + std::string(server);
    if (samples > 1)
        text += " (sample " + std::to_string(sample) + " of " + std::to_string(samples) + ")";
    return text;
}

std::string askingSeveral(size_t servers) {
    return "Asking " + std::to_string(servers) + " servers";
}

std::string leastDelayOf(std::string_view summary, int samples) {
    if (samples <= 1)
        return std::string(summary);
    return std::string(summary) + " (least delay of " + std::to_string(samples) + " samples)";
}

std::string falseticker(std::string_view server, size_t agreeing) {
    return std::string(server) + " disagreed with " + std::to_string(agreeing) +
           (agreeing == 1 ? " other server" : " other servers") + " and was not used";
}

std::string twoDisagree(std::string_view first, std::string_view second,
                        long long differenceUnits) {
    return std::string(first) + " and " + std::string(second) + " disagree by " +
           millisecondsText(std::llabs(differenceUnits), false) +
           ": with no third server to settle it, no time was used";
}

std::string noMajority(const std::vector<std::string>& answered) {
    return "The servers disagree: no time is shared by more than half of " +
           joined(answered, ", ", " and ") + ", so no time was used";
}

std::string noServerGaveTime(const std::vector<std::string>& reasons) {
    if (reasons.size() == 1)
        return reasons.front();
    return "No server gave the time: " + joined(reasons, "; ", "; ");
}

std::string serversSummary(std::string_view source, long long errorBoundUnits,
                           const std::vector<AskedServer>& asked) {
    std::vector<std::string> parts;
    for (const AskedServer& a : asked) {
        std::string part = a.server;
        if (a.answered)
            part += " " + millisecondsText(a.offsetUnits, true);
        if (!a.note.empty())
            part += " (" + a.note + ")";
        parts.push_back(std::move(part));
    }
    return "Time from " + std::string(source) + " within " +
           millisecondsText(errorBoundUnits, false) + "; offsets: " + joined(parts, ", ", ", ");
}

} // namespace zymdate::messages
