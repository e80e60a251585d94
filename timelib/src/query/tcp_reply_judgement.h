// Judging what a time server sent over TCP (ports other than NTP's): its shape (a
// Daytime line in the NIST layout, a four-byte Time protocol value, or neither),
// the health digit, the time it carries corrected for the exchange, and the text
// the query shows. No sockets: the exchange hands over the bytes and how long it took.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zymdate {

enum class ReplyKind {
    Daytime,      // six bytes or more whose text ends in the on-time marker "* "
    TimeProtocol, // four or five bytes, whatever they hold
    TooShort,     // fewer than four bytes (nothing at all, or a fragment)
    NotOnTime,    // six bytes or more that lack the on-time marker
};

// A Time protocol value is recognised by the bytes as received, so neither an LF
// nor a trailing "* " among its four bytes changes its shape; longer replies are
// judged by their text (replyText).
ReplyKind classifyReply(std::string_view reply, std::string_view text);

struct TcpReplyJudgement {
    ReplyKind kind = ReplyKind::TooShort;
    int health = 0; // of a Daytime line; 0 for the other shapes
    bool accepted = false;
    SYSTEMTIME serverTime{}; // UTC, corrected for the delay (accepted only)
    double delay = 0;        // half the exchange time in whole milliseconds (accepted only)
    std::string message;     // the reply text or the received time, or why it was refused
};

// server is the cleaned name the texts show, reply every byte received, and
// exchangeMs the time from before the connection to the end of the reply.
TcpReplyJudgement judgeTcpReply(std::string_view server, std::string_view reply,
                                uint32_t exchangeMs);

} // namespace zymdate
