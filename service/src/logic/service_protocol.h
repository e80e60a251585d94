// The Tickwell Time service's pipe protocol, shared by the service and the
// programs that ask it. One request and one reply per connection, each a single
// message of the pipe.
//
// A request is one line of printable text, at most kMaxRequestBytes long with
// its line end (LF, or CR LF): a verb, in any case, and for CHECK and SET an
// optional server after one or more blanks. Blanks around the line are ignored.
//     STATUS
//     CHECK [server]
//     SET [server]
// No request carries a time: the service asks the servers itself.
//
// A reply is lines of "Key: value" ending in CR LF, the first of them "Result".
// A value never holds a control character (each becomes a blank). A request the
// service refuses (bad form, a server not allowed, asked too often) gets
// "Result: error" and the reason in "Message".
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tickwell::service {

inline constexpr char kPipeName[] = "\\\\.\\pipe\\TickwellTime";
inline constexpr size_t kMaxRequestBytes = 1024;
// The longest server a request may name (a host name alone is at most 253).
inline constexpr size_t kMaxServerBytes = 255;
// What a reply may grow to; a client reads at most this much.
inline constexpr size_t kMaxReplyBytes = 8192;

enum class Verb { Status, Check, Set };

struct Request {
    Verb verb = Verb::Status;
    std::string server; // as the client named it (empty: the service's own list)
};

struct ParsedRequest {
    std::optional<Request> request; // set when the bytes are a request
    std::string error;              // otherwise why not, for the reply
};

// Reads one request message (the bytes as they came, line end included).
// Refused: empty, longer than kMaxRequestBytes, no line end (a half line), more
// than one line, a NUL or another control character, bytes above 0x7E, an
// unknown verb, an argument to STATUS, a server name longer than 255 bytes.
ParsedRequest parseRequest(std::string_view bytes);

// The request as a client sends it (STATUS takes no server: one given is left out).
std::string requestText(const Request& request);

// The outcome of CHECK or SET, or the service's state for STATUS.
struct Reply {
    enum class Result { Ok, Failed, Error } result = Result::Error;
    std::string server;                   // the cleaned name of the server the time came from
    std::optional<SYSTEMTIME> serverTime; // UTC, to the millisecond
    double delayMs = 0;
    // The server's time less the PC's, measured before any set (Ok replies).
    std::optional<double> changeMs;
    std::string message;       // the server's reply, or why there is no time
    std::string difference;    // the worded difference or clock change
    bool clockMatches = false; // difference is "PC Clock Matches"
    bool clockSet = false;     // SET: the clock was set
    // STATUS: the last outcome, when it was (local time text), the next check
    // (empty when the service keeps no schedule), whether it keeps one.
    std::string lastOutcome;
    std::string lastOutcomeAt;
    std::string nextCheck;
    // STATUS: when the last set on the service's own schedule was made (UTC);
    // Server, Delay, Change, Difference and Set then tell that set.
    std::optional<SYSTEMTIME> scheduledAt;
    bool schedule = false;
};

// Each text value is cut to kMaxReplyValueBytes, so the whole always fits in
// kMaxReplyBytes.
inline constexpr size_t kMaxReplyValueBytes = 1024;
std::string replyText(const Reply& reply);

// Reads a reply; none when the text is not one (a client then says the
// service gave no usable answer).
std::optional<Reply> parseReply(std::string_view text);

// The reply to a refused request.
Reply errorReply(std::string message);

} // namespace tickwell::service
