#include "socket_layer.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <new>

namespace zymdate::net {

namespace {

std::atomic<bool> slotTaken{false};

// The one place where a Winsock error becomes one of the layer's numbers.
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

} // namespace

Connection::~Connection() {
    close();
}

int Connection::open(std::string_view host, int port) {
    close();
    bool expected = false;
    if (!slotTaken.compare_exchange_strong(expected, true))
        return kSlotInUse;
    holdsSlot_ = true;

    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return kNoSockets;
    started_ = true;
    if (LOBYTE(data.wVersion) != 2)
        return kNoSockets;

    // An empty name would resolve to this machine, and the resolver would stop at a
    // zero byte and reach some other host than the one named: neither names the server.
    if (host.empty() || host.find('\0') != std::string_view::npos || port < 1 || port > 65535)
        return kConnectionFailed;
    const std::string name(host);
    const hostent* entry = ::gethostbyname(name.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return kConnectionFailed;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof(address.sin_addr));

    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return fromWinsock(::WSAGetLastError());
    socket_.reset(s);

    BOOL on = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_DONTLINGER, reinterpret_cast<const char*>(&on), sizeof(on));
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR)
        return fromWinsock(::WSAGetLastError());
    return kOk;
}

int Connection::receiveAll(uint32_t waitMs, std::string& reply) {
    reply.clear();
    if (!socket_)
        return kBadConnection;
    const SOCKET s = socket_.get();
    const ULONGLONG start = ::GetTickCount64();
    const ULONGLONG exchangeBound = static_cast<ULONGLONG>(waitMs) * kExchangeBoundFactor;

    char chunk[kReceiveChunk];
    for (;;) {
        timeval limit{};
        timeval* wait = nullptr;
        bool exchangeLimited = false;
        if (waitMs != 0) {
            ULONGLONG allowed = waitMs;
            const ULONGLONG spent = ::GetTickCount64() - start;
            if (spent >= exchangeBound) {
                reply.clear();
                return kExchangeTooLong;
            }
            if (exchangeBound - spent < allowed) {
                allowed = exchangeBound - spent;
                exchangeLimited = true;
            }
            limit.tv_sec = static_cast<long>(allowed / 1000);
            limit.tv_usec = static_cast<long>((allowed % 1000) * 1000);
            wait = &limit;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        const int ready = ::select(0, &readable, nullptr, nullptr, wait);
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
    if (started_) {
        ::WSACleanup();
        started_ = false;
    }
    if (holdsSlot_) {
        slotTaken.store(false);
        holdsSlot_ = false;
    }
}

} // namespace zymdate::net
