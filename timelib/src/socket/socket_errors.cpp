#include "socket/socket_errors.h"

#include <winsock2.h>

namespace zymdate::net {

int fromWinsock(int wsaError) {
    switch (wsaError) {
    case WSAEWOULDBLOCK:
    case WSAEINPROGRESS:
    case WSAEALREADY:
        return kInProgress;
    case WSAENOBUFS:
        return kOutOfMemory;
    case WSAENOTSOCK:
    case WSAEBADF:
        return kBadConnection;
    case WSASYSNOTREADY:
    case WSAVERNOTSUPPORTED:
    case WSANOTINITIALISED:
        return kNoSockets;
    default:
        return kConnectionFailed;
    }
}

} // namespace zymdate::net
