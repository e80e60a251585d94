#include "socket/tcp_connection.h"

#include "socket/deadline.h"
#include "socket/socket_errors.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

namespace zymdate::net {

namespace {

void setBlocking(SOCKET s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
}

// One connect, bounded by deadline: the socket is made non-blocking so that an
// address that drops packets gives up when the time-out says, not when the
// system does (about 21 s on Windows, minutes elsewhere).
int connectBounded(SOCKET s, const Address& address, const Deadline& deadline) {
    setBlocking(s, false);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address.storage), address.length) ==
        SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
            return fromWinsock(error);
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed); // Winsock reports a failed connect here, not as writable
        timeval storage{};
        const int ready =
            ::select(0, nullptr, &writable, &failed, selectLimit(deadline, 0, storage));
        if (ready == SOCKET_ERROR)
            return fromWinsock(::WSAGetLastError());
        if (ready == 0)
            return kTimedOut;
        if (FD_ISSET(s, &failed)) {
            int socketError = 0;
            int size = sizeof(socketError);
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &size);
            return fromWinsock(socketError);
        }
    }
    setBlocking(s, true);
    return kOk;
}

} // namespace

Connection::~Connection() {
    close();
}

int Connection::open(std::string_view host, int port, uint32_t connectWaitMs) {
    close();
    // The resolver's time counts against the connect's.
    const Deadline overall(connectWaitMs);
    if (const int begun = session_.begin(); begun != kOk)
        return begun;
    std::vector<Address> addresses;
    if (const int resolved = resolve(host, port, SOCK_STREAM, addresses); resolved != kOk)
        return resolved;
    if (!overall.unlimited() && overall.leftMs() == 0)
        return kTimedOut;
    return connectAny(addresses, overall.unlimited() ? 0 : overall.leftMs());
}

int Connection::open(std::span<const Address> addresses, uint32_t connectWaitMs) {
    close();
    if (const int begun = session_.begin(); begun != kOk)
        return begun;
    return connectAny(addresses, connectWaitMs);
}

int Connection::connectAny(std::span<const Address> addresses, uint32_t connectWaitMs) {
    return connectStream(addresses, connectWaitMs, socket_);
}

int connectStream(std::span<const Address> addresses, uint32_t connectWaitMs,
                  tw::unique_socket& connected) {
    const Deadline overall(connectWaitMs);
    int result = kConnectionFailed;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const Address& address = addresses[i];
        uint32_t shareMs = 0;
        if (!overall.unlimited()) {
            shareMs = overall.shareMs(addresses.size() - i);
            if (shareMs == 0)
                return kTimedOut;
        }
        tw::unique_socket s(::socket(address.family, SOCK_STREAM, IPPROTO_TCP));
        if (!s) {
            result = fromWinsock(::WSAGetLastError());
            continue;
        }
        BOOL on = TRUE;
        ::setsockopt(s.get(), SOL_SOCKET, SO_DONTLINGER, reinterpret_cast<const char*>(&on),
                     sizeof(on));
        result = connectBounded(s.get(), address, Deadline(shareMs));
        if (result == kOk) {
            connected = std::move(s);
            return kOk;
        }
    }
    return result;
}

int Connection::receiveAll(uint32_t waitMs, std::string& reply) {
    reply.clear();
    if (!socket_)
        return kBadConnection;
    const SOCKET s = socket_.get();
    const Deadline exchange(waitMs * kExchangeBoundFactor);

    char chunk[kReceiveChunk];
    for (;;) {
        bool exchangeLimited = false;
        if (!exchange.unlimited()) {
            const uint32_t left = exchange.leftMs();
            if (left == 0) {
                reply.clear();
                return kExchangeTooLong;
            }
            exchangeLimited = left < waitMs;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval storage{};
        const int ready = ::select(0, &readable, nullptr, nullptr,
                                   selectLimit(exchange, exchangeLimited ? 0 : waitMs, storage));
        if (ready == SOCKET_ERROR) {
            reply.clear();
            return fromWinsock(::WSAGetLastError());
        }
        if (ready == 0) {
            reply.clear();
            return exchangeLimited ? kExchangeTooLong : kTimedOut;
        }
        const int got = ::recv(s, chunk, sizeof(chunk), 0);
        if (got == SOCKET_ERROR) {
            reply.clear();
            return fromWinsock(::WSAGetLastError());
        }
        if (got == 0)
            break;
        if (reply.size() + static_cast<size_t>(got) > kMaxReplyBytes) {
            reply.clear();
            return kReplyTooLarge;
        }
        try {
            reply.append(chunk, static_cast<size_t>(got));
        } catch (const std::bad_alloc&) {
            reply.clear();
            return kOutOfMemory;
        }
    }
    close();
    return kOk;
}

void Connection::close() {
    socket_.reset(); // before the library is given back
    session_.end();
}

} // namespace zymdate::net
