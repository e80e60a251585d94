// The socket layer's small error numbers, which the query's texts show and
// zym's GETLASTERRORDESCRIPTION describes, and the one place a Winsock error
// becomes one of them.
#pragma once

namespace zymdate::net {

// The error numbers of the socket layer.
enum Error : int {
    kOk = 0,
    kOutOfMemory = 7,
    kTimedOut = 24,         // no data arrived within the time-out
    kBadConnection = 52,    // no open connection to read from
    kSlotInUse = 55,        // another query holds the connection slot
    kConnectionFailed = 57, // not resolved, refused, reset, receive failed
    kReplyTooLarge = 61,    // more than kMaxReplyBytes arrived
    kExchangeTooLong = 62,  // the whole exchange outlasted its bound
    kNoSockets = 68,        // Winsock could not start or is not version 2
    kInProgress = 70,       // the socket operation is still in progress
};

// The layer's number for a Winsock error (WSAGetLastError, SO_ERROR).
int fromWinsock(int wsaError);

} // namespace zymdate::net
