// Why a query has no time to give, worded for the user from the socket layer's
// error number and how far the exchange got: one rule for TCP and NTP alike.
#pragma once

#include <string>
#include <string_view>

namespace zymdate {

enum class QueryStage {
    Reaching,      // resolving, connecting, sending: the server not yet reached
    AwaitingReply, // the server reached (TCP: connected; NTP: asked) and its reply awaited
};

// Before the server is reached, a refusal or a time-out is "could not
// establish connection" naming the server, any other error its number and
// description; once a reply is awaited, the error number and description.
std::string failureText(std::string_view server, QueryStage stage, int error);

} // namespace zymdate
