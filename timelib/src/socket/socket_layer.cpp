#include "socket/socket_layer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
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

int Session::begin() {
    end();
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
    return kOk;
}

void Session::end() {
    if (started_) {
        ::WSACleanup();
        started_ = false;
    }
    if (holdsSlot_) {
        slotTaken.store(false);
        holdsSlot_ = false;
    }
}

int resolve(std::string_view host, int port, int socketType, std::vector<Address>& addresses) {
    addresses.clear();
    // An empty name would resolve to this machine, and the resolver would stop at a
    // zero byte and reach some other host than the one named: neither names the server.
    if (host.empty() || host.find('\0') != std::string_view::npos || port < 1 || port > 65535)
        return kConnectionFailed;
    // "[::1]" is how an IPv6 literal is written beside a port; the resolver wants it bare.
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string name(host);
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socketType;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr)
        return kConnectionFailed;
    try {
        for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
            if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) ||
                a->ai_addrlen > sizeof(sockaddr_storage))
                continue;
            Address address;
            std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
            address.length = static_cast<int>(a->ai_addrlen);
            address.family = a->ai_family;
            addresses.push_back(address);
        }
    } catch (const std::bad_alloc&) {
        ::freeaddrinfo(found);
        return kOutOfMemory;
    }
    ::freeaddrinfo(found);
    return addresses.empty() ? kConnectionFailed : kOk;
}

Deadline::Deadline(uint32_t waitMs) : waitMs_(waitMs), startTick_(::GetTickCount64()) {}

uint32_t Deadline::leftMs() const {
    const uint32_t spent = spentMs();
    return spent >= waitMs_ ? 0 : waitMs_ - spent;
}

uint32_t Deadline::spentMs() const {
    const unsigned long long spent = ::GetTickCount64() - startTick_;
    return spent > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(spent);
}

timeval* selectLimit(const Deadline& deadline, uint32_t capMs, timeval& storage) {
    if (deadline.unlimited() && capMs == 0)
        return nullptr;
    uint32_t ms = deadline.unlimited() ? capMs : deadline.leftMs();
    if (capMs != 0)
        ms = std::min(ms, capMs);
    storage.tv_sec = static_cast<long>(ms / 1000);
    storage.tv_usec = static_cast<long>((ms % 1000) * 1000);
    return &storage;
}

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
    const Deadline overall(connectWaitMs);
    int result = kConnectionFailed;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const Address& address = addresses[i];
        uint32_t shareMs = 0;
        if (!overall.unlimited()) {
            const uint32_t left = overall.leftMs();
            if (left == 0)
                return kTimedOut;
            // An address that drops packets must leave the later ones their turn.
            shareMs = std::max<uint32_t>(1, left / static_cast<uint32_t>(addresses.size() - i));
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
            socket_ = std::move(s);
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

int DatagramSocket::open(const Address& server) {
    socket_.reset(::socket(server.family, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket_)
        return fromWinsock(::WSAGetLastError());
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&server.storage),
                  server.length) == SOCKET_ERROR)
        return fromWinsock(::WSAGetLastError());
    return kOk;
}

int DatagramSocket::send(std::string_view datagram) {
    const int sent = ::send(socket_.get(), datagram.data(), static_cast<int>(datagram.size()), 0);
    if (sent == SOCKET_ERROR)
        return fromWinsock(::WSAGetLastError());
    return kOk;
}

int DatagramSocket::receive(uint32_t waitMs, std::string& datagram) {
    datagram.clear();
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval storage{};
    const int ready =
        ::select(0, &readable, nullptr, nullptr, selectLimit(Deadline(0), waitMs, storage));
    if (ready == SOCKET_ERROR)
        return fromWinsock(::WSAGetLastError());
    if (ready == 0)
        return kTimedOut;
    // Twice the largest reply of interest: a time reply with its extensions fits.
    char buffer[2048];
    const int got = ::recv(socket_.get(), buffer, sizeof(buffer), 0);
    if (got == SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        return error == WSAEMSGSIZE ? kOk : fromWinsock(error);
    }
    datagram.assign(buffer, static_cast<size_t>(got));
    return kOk;
}

} // namespace zymdate::net
