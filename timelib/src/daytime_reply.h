// What a time server's reply means: the reply text, its shape (a Daytime line
// in the NIST layout, a four-byte Time protocol value, or neither), the health
// digit, and every text the query shows. No Win32 here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zymdate {

// The number text used in messages: one space before a non-negative number,
// a minus sign before a negative one ("Error (" + str(57) + ")" is "Error ( 57)").
std::string str(long long n);

// Leading spaces dropped, then cut at the first space or "(".
std::string cleanServerName(std::string_view name);

// Leading and trailing LFs removed, every other LF widened to CR LF.
std::string replyText(std::string_view reply);

enum class ReplyKind {
    Daytime,      // six bytes or more whose text ends in the on-time marker "* "
    TimeProtocol, // four or five bytes, whatever they hold
    TooShort,     // fewer than four bytes (nothing at all, or a fragment)
    NotOnTime,    // six bytes or more that lack the on-time marker
};

// A Time protocol value is recognised by the bytes as received, so neither an LF
// nor a trailing "* " among its four bytes changes its shape; longer replies are
// judged by their text.
ReplyKind classifyReply(std::string_view reply, std::string_view text);

// The digit at position 30 of a Daytime line; 0 when there is none.
int healthDigit(std::string_view text);

// "20" + the date field + " " + the time field of a Daytime line
// ("2002-01-15 06:21:59" style text in the "YY-MM-DD HH:MM:SS" layout); nothing
// when either field is not two digits, separator, two digits, separator, two digits.
std::optional<std::string> daytimeDateText(std::string_view text);

// The texts the query hands back on failure.
namespace messages {
std::string cannotConnect(std::string_view server);                         // case A, n = 24 or 57
std::string connectError(long long n, std::string_view description);        // case A, other n
std::string receiveError(long long n, std::string_view description);        // case B
std::string unhealthy(std::string_view server);                             // health 1
std::string veryUnhealthy(std::string_view server);                         // health 2
std::string notOnTime(std::string_view text);                               // no on-time marker
std::string noTime(std::string_view server, size_t replyBytes);             // empty or short reply
std::string unreadableDate(std::string_view server, std::string_view text); // date field unreadable
} // namespace messages

} // namespace zymdate
