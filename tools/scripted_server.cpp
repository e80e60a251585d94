#include "scripted_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>

namespace tw::testserver {

Step send(std::string bytes) {
    return Step{Step::Kind::Send, std::move(bytes), 0, 0, {}};
}
Step sendFn(std::function<std::string()> make) {
    return Step{Step::Kind::SendFn, {}, 0, 0, std::move(make)};
}
Step pause(int ms) {
    return Step{Step::Kind::Pause, {}, ms, 0, {}};
}
Step drip(std::string bytes, int msApart) {
    return Step{Step::Kind::Drip, std::move(bytes), msApart, 0, {}};
}
Step stream(std::string pattern, size_t limitBytes) {
    return Step{Step::Kind::Stream, std::move(pattern), 0, limitBytes, {}};
}
Step hold() {
    return Step{Step::Kind::Hold, {}, 0, 0, {}};
}
Step reset() {
    return Step{Step::Kind::Reset, {}, 0, 0, {}};
}

namespace {

bool sendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        const int n = ::send(s, data, static_cast<int>(size), 0);
        if (n == SOCKET_ERROR || n == 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The family's loopback address at port.
sockaddr_storage loopback(Family family, uint16_t port, int& length) {
    sockaddr_storage storage{};
    if (family == Family::IPv6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(storage);
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        a.sin6_port = ::htons(port);
        length = sizeof(a);
    } else {
        auto& a = reinterpret_cast<sockaddr_in&>(storage);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        a.sin_port = ::htons(port);
        length = sizeof(a);
    }
    return storage;
}

// A socket bound to the family's loopback address; `port` is then the port it got.
tw::unique_socket boundSocket(Family family, int type, uint16_t& port) {
    const int domain = family == Family::IPv6 ? AF_INET6 : AF_INET;
    tw::unique_socket s(::socket(domain, type, type == SOCK_DGRAM ? IPPROTO_UDP : IPPROTO_TCP));
    if (!s)
        return s;
    int length = 0;
    sockaddr_storage address = loopback(family, port, length);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), length) == SOCKET_ERROR)
        return {};
    ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port = ::ntohs(family == Family::IPv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(address).sin_port);
    return s;
}

// True when the peer has closed (or reset) its side; consumes anything it sent.
// How long a serving loop waits for work before it looks whether to stop.
constexpr int kPollMs = 20;

// Something to read (or the peer gone) within waitMs.
bool readableWithin(SOCKET s, int waitMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{waitMs / 1000, (waitMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &tv) > 0;
}

bool peerGone(SOCKET s, int waitMs) {
    if (!readableWithin(s, waitMs))
        return false;
    char buffer[256];
    return ::recv(s, buffer, sizeof(buffer), 0) <= 0;
}

} // namespace

const char* loopbackName(Family family) {
    return family == Family::IPv6 ? "::1" : "127.0.0.1";
}

SocketLibrary::SocketLibrary() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary() {
    if (started_)
        ::WSACleanup();
}

bool loopbackAvailable(Family family) {
    const SocketLibrary library;
    uint16_t port = 0;
    return library && static_cast<bool>(boundSocket(family, SOCK_DGRAM, port));
}

ScriptedServer::ScriptedServer(std::vector<Step> script, uint16_t port, Family family)
    : script_(std::move(script)) {
    if (!library_)
        return;
    tw::unique_socket s = boundSocket(family, SOCK_STREAM, port);
    if (!s || ::listen(s.get(), 16) == SOCKET_ERROR)
        return;
    port_ = port;
    listener_ = std::move(s);
    serving_.start([this] { acceptLoop(); });
}

bool ScriptedServer::waitOrStop(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!serving_.stopping()) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0))
            return true;
        ::Sleep(static_cast<DWORD>(std::min<long long>(
            20, std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1)));
    }
    return false;
}

void ScriptedServer::acceptLoop() {
    std::vector<std::thread> clients;
    while (!serving_.stopping()) {
        if (!readableWithin(listener_.get(), kPollMs))
            continue;
        tw::unique_socket client(::accept(listener_.get(), nullptr, nullptr));
        if (!client)
            continue;
        clients.emplace_back(
            [this, client = std::move(client)]() mutable { serve(std::move(client)); });
    }
    for (auto& t : clients)
        t.join();
}

void ScriptedServer::serve(tw::unique_socket client) {
    const SOCKET s = client.get();
    bool graceful = true;
    for (const Step& step : script_) {
        if (serving_.stopping())
            break;
        bool ok = true;
        switch (step.kind) {
        case Step::Kind::Send:
            ok = sendAll(s, step.bytes.data(), step.bytes.size());
            break;
        case Step::Kind::SendFn: {
            const std::string bytes = step.make();
            ok = sendAll(s, bytes.data(), bytes.size());
            break;
        }
        case Step::Kind::Pause:
            ok = waitOrStop(step.ms);
            break;
        case Step::Kind::Drip:
            for (char c : step.bytes) {
                if (!sendAll(s, &c, 1) || !waitOrStop(step.ms)) {
                    ok = false;
                    break;
                }
            }
            break;
        case Step::Kind::Stream: {
            size_t sent = 0;
            while (ok && !serving_.stopping() && sent < step.limit) {
                ok = sendAll(s, step.bytes.data(), step.bytes.size());
                sent += step.bytes.size();
            }
            break;
        }
        case Step::Kind::Hold:
            while (!serving_.stopping() && !peerGone(s, 20)) {
            }
            break;
        case Step::Kind::Reset: {
            linger abort{1, 0};
            ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                         sizeof(abort));
            graceful = false;
            break;
        }
        }
        if (!ok)
            break;
    }
    if (graceful)
        ::shutdown(s, SD_SEND);
    client.reset();
    ++served_;
}

uint16_t refusedPort() {
    const SocketLibrary library;
    uint16_t port = 0;
    if (tw::unique_socket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); s) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            int size = sizeof(address);
            ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &size);
            port = ::ntohs(address.sin_port);
        }
    } // closed here, before the library is given back
    return port;
}

StalledListener::StalledListener(Family family) {
    if (!library_)
        return;
    tw::unique_socket s = boundSocket(family, SOCK_STREAM, port_);
    // A queue of one (the least the system keeps), filled by connections that are
    // never accepted. Until one is let in, further requests go unanswered.
    if (!s || ::listen(s.get(), 0) == SOCKET_ERROR)
        return;
    listener_ = std::move(s);
    int length = 0;
    const sockaddr_storage address = loopback(family, port_, length);
    for (int i = 0; i < 4 && !stalled_; ++i) {
        tw::unique_socket filler(::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        ::ioctlsocket(filler.get(), FIONBIO, &nonBlocking);
        ::connect(filler.get(), reinterpret_cast<const sockaddr*>(&address), length);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(filler.get(), &writable);
        timeval wait{0, 300'000};
        // A filler that does not get through within the wait shows the queue full.
        if (::select(0, nullptr, &writable, nullptr, &wait) == 0)
            stalled_ = true;
        fillers_.push_back(std::move(filler));
    }
}

StalledListener::~StalledListener() = default;

DatagramServer::DatagramServer(Answer answer, uint16_t port, Family family)
    : answer_(std::move(answer)), family_(family) {
    if (!library_)
        return;
    socket_ = boundSocket(family, SOCK_DGRAM, port);
    if (!socket_)
        return;
    port_ = port;
    serving_.start([this] { receiveLoop(); });
}

void DatagramServer::receiveLoop() {
    uint16_t otherPort = 0;
    const tw::unique_socket other = boundSocket(family_, SOCK_DGRAM, otherPort);
    char buffer[2048];
    while (!serving_.stopping()) {
        if (!readableWithin(socket_.get(), kPollMs))
            continue;
        sockaddr_storage client{};
        int length = sizeof(client);
        const int got = ::recvfrom(socket_.get(), buffer, sizeof(buffer), 0,
                                   reinterpret_cast<sockaddr*>(&client), &length);
        if (got == SOCKET_ERROR)
            continue;
        const int number = ++received_;
        for (const Datagram& reply :
             answer_(std::string(buffer, static_cast<size_t>(got)), number)) {
            const SOCKET from = reply.fromOtherPort ? other.get() : socket_.get();
            ::sendto(from, reply.bytes.data(), static_cast<int>(reply.bytes.size()), 0,
                     reinterpret_cast<const sockaddr*>(&client), length);
        }
    }
}

} // namespace tw::testserver
