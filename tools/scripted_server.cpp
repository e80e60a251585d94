#include "scripted_server.h"

#include <winsock2.h>
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

// True when the peer has closed (or reset) its side; consumes anything it sent.
bool peerGone(SOCKET s, int waitMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{waitMs / 1000, (waitMs % 1000) * 1000};
    if (::select(0, &readable, nullptr, nullptr, &tv) <= 0)
        return false;
    char buffer[256];
    return ::recv(s, buffer, sizeof(buffer), 0) <= 0;
}

} // namespace

ScriptedServer::ScriptedServer(std::vector<Step> script, uint16_t port)
    : script_(std::move(script)) {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    started_ = true;
    tw::unique_socket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    address.sin_port = ::htons(port);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR ||
        ::listen(s.get(), 16) == SOCKET_ERROR)
        return;
    int size = sizeof(address);
    ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ::ntohs(address.sin_port);
    listener_ = std::move(s);
    thread_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    listener_.reset(); // before the library is given back
    if (started_)
        ::WSACleanup();
}

void ScriptedServer::serveForever() {
    if (thread_.joinable())
        thread_.join();
}

bool ScriptedServer::waitOrStop(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_) {
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
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_.get(), &readable);
        timeval tv{0, 20'000};
        if (::select(0, &readable, nullptr, nullptr, &tv) <= 0)
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
        if (stopping_)
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
            while (ok && !stopping_ && sent < step.limit) {
                ok = sendAll(s, step.bytes.data(), step.bytes.size());
                sent += step.bytes.size();
            }
            break;
        }
        case Step::Kind::Hold:
            while (!stopping_ && !peerGone(s, 20)) {
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
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
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
    ::WSACleanup();
    return port;
}

} // namespace tw::testserver
