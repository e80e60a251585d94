#include "socket_error_text.h"

#include "tw/query_errors.h"

namespace zym {

namespace {

struct SocketError {
    std::int32_t number;
    std::string_view text;
};

// The time query puts these texts after "Error (n)" or "Error n " in what the user sees.
constexpr SocketError kSocketErrors[] = {
    {tw::query::kOutOfMemory, "Out of memory"},
    {tw::query::kTimedOut, "No data arrived from the time server within the time-out"},
    {tw::query::kBadConnection, "Bad connection number"},
    {tw::query::kSlotInUse, "The connection slot is already in use by another query"},
    {tw::query::kConnectionFailed,
     "The connection could not be made or was broken (host not found, refused or reset)"},
    {tw::query::kReplyTooLarge, "The time server sent more data than a time reply can hold"},
    {tw::query::kExchangeTooLong, "The time server took too long to finish its reply"},
    {tw::query::kNoSockets, "The Windows sockets library could not be started or is not version 2"},
    {tw::query::kInProgress, "The socket operation is still in progress"},
};

} // namespace

std::optional<std::string_view> socketErrorText(std::int32_t errorNumber) {
    for (const SocketError& entry : kSocketErrors)
        if (entry.number == errorNumber)
            return entry.text;
    return std::nullopt;
}

} // namespace zym
