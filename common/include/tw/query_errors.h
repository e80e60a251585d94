// The small error numbers of zymdate's time query: zymdate reports them (in
// the query's texts and to GETLASTERRORDESCRIPTION) and zym words them. They
// collide with Windows error codes of the same value; callers that hand them to
// GETLASTERRORDESCRIPTION mean the query's meaning.
#pragma once

namespace tw::query {

enum Error : int {
    kOk = 0,
    kOutOfMemory = 7,
    kTimedOut = 24,         // no data arrived within the time-out
    kBadConnection = 52,    // no open connection to read from
    kSlotInUse = 55,        // another query holds the connection slot
    kConnectionFailed = 57, // not resolved, refused, reset, receive failed
    kReplyTooLarge = 61,    // more than the largest reply a time server sends
    kExchangeTooLong = 62,  // the whole exchange outlasted its bound
    kNoSockets = 68,        // Winsock could not start or is not version 2
    kInProgress = 70,       // the socket operation is still in progress
};

} // namespace tw::query
