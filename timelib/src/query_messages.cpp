#include "query_messages.h"

#include "number_text.h"

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

} // namespace zymdate::messages
