#include "daytime_reply.h"

#include <vector>

namespace zymdate {

std::string str(long long n) {
    return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

std::string cleanServerName(std::string_view name) {
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    name.remove_prefix(first);
    return std::string(name.substr(0, name.find_first_of(" (")));
}

std::string replyText(std::string_view reply) {
    const size_t first = reply.find_first_not_of('\n');
    if (first == std::string_view::npos)
        return {};
    const size_t last = reply.find_last_not_of('\n');
    const std::string_view core = reply.substr(first, last - first + 1);
    std::string text;
    text.reserve(core.size() + 8);
    for (char c : core) {
        if (c == '\n')
            text += "\r\n";
        else
            text += c;
    }
    return text;
}

ReplyKind classifyReply(std::string_view reply, std::string_view text) {
    // The size as received decides first: no Daytime line fits in five bytes, and a
    // Time protocol value whose last two bytes happen to be "* " (one second in
    // every 65536) is still a value.
    if (reply.size() < 4)
        return ReplyKind::TooShort;
    if (reply.size() <= 5)
        return ReplyKind::TimeProtocol;
    if (text.size() >= 2 && text.substr(text.size() - 2) == "* ")
        return ReplyKind::Daytime;
    return ReplyKind::NotOnTime;
}

int healthDigit(std::string_view text) {
    constexpr size_t kHealthIndex = 29; // position 30, counted from 1
    if (text.size() <= kHealthIndex)
        return 0;
    const char c = text[kHealthIndex];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

namespace {

// Two digits, the separator, two digits, the separator, two digits.
bool isTwoDigitTriple(std::string_view field, char separator) {
    if (field.size() != 8)
        return false;
    for (size_t i = 0; i < field.size(); ++i) {
        const bool separatorPlace = i == 2 || i == 5;
        const char c = field[i];
        if (separatorPlace ? c != separator : (c < '0' || c > '9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> daytimeDateText(std::string_view text) {
    // Fields are separated by single spaces; field 2 is the date, field 3 the time.
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 3) {
        const size_t space = text.find(' ', start);
        fields.push_back(
            text.substr(start, space == std::string_view::npos ? space : space - start));
        if (space == std::string_view::npos)
            break;
        start = space + 1;
    }
    // The date parser reads odd fields as some other date ("20ab " as 20:00 in
    // December 1899, "202-01-15" as the year 202), and a line off the layout
    // has no health digit at position 30 either.
    if (fields.size() < 3 || !isTwoDigitTriple(fields[1], '-') || !isTwoDigitTriple(fields[2], ':'))
        return std::nullopt;
    return "20" + std::string(fields[1]) + " " + std::string(fields[2]);
}

namespace messages {

std::string cannotConnect(std::string_view server) {
    return "Could not establish connection to " + std::string(server);
}

std::string connectError(long long n, std::string_view description) {
    return "Error (" + str(n) + ")" + std::string(description);
}

std::string receiveError(long long n, std::string_view description) {
    return "Error " + str(n) + " " + std::string(description);
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

} // namespace messages

} // namespace zymdate
