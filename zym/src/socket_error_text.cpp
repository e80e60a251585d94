#include "socket_error_text.h"

namespace zym {

namespace {

struct SocketError {
    std::int32_t number;
    std::string_view text;
};

// The time query puts these texts after "Error (n)" or "Error n " in what the user sees.
constexpr SocketError kSocketErrors[] = {
    {7, "Out of memory"},
    {24, "No data arrived from the time server within the time-out"},
    {52, "Bad connection number"},
    {55, "The connection slot is already in use by another query"},
    {57, "The connection could not be made or was broken (host not found, refused or reset)"},
    {61, "The time server sent more data than a time reply can hold"},
    {62, "The time server took too long to finish its reply"},
    {68, "The Windows sockets library could not be started or is not version 2"},
    {70, "The socket operation is still in progress"},
};

} // namespace

std::optional<std::string_view> socketErrorText(std::int32_t errorNumber) {
    for (const SocketError& entry : kSocketErrors)
        if (entry.number == errorNumber)
            return entry.text;
    return std::nullopt;
}

} // namespace zym
