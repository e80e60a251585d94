#include "native_ntp_server.h"

#include "scripted_server.h"
#include "tw/handles.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#ifndef TW_TOOLS_DIR
#error "TW_TOOLS_DIR names the folder of loopback_ntp.py"
#endif

namespace tw::testserver {

namespace {

// A Unix path as Wine's drive Z: shows it (the program's; a Unix program's
// arguments reach it as they are).
std::string wineDosPath(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

// One request to address:port, and whether anything came back within waitMs.
bool answers(const std::string& address, uint16_t port, int waitMs) {
    tw::unique_socket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(port);
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    if (::connect(s.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) == SOCKET_ERROR)
        return false;
    std::string request(48, '\0');
    request[0] = 0x23; // version 4, client
    request[47] = 1;
    if (::send(s.get(), request.data(), static_cast<int>(request.size()), 0) == SOCKET_ERROR)
        return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s.get(), &readable);
    timeval limit{0, waitMs * 1000};
    if (::select(0, &readable, nullptr, nullptr, &limit) != 1)
        return false;
    char reply[128];
    return ::recv(s.get(), reply, sizeof reply, 0) >= 48;
}

} // namespace

NativeNtpServer::NativeNtpServer(uint8_t host, uint16_t port, double offsetMs, int lifetimeSeconds)
    : address_("127.0.0." + std::to_string(host)), port_(port) {
    std::string command = wineDosPath("/usr/bin/python3") + " " + std::string(TW_TOOLS_DIR) +
                          "/loopback_ntp.py" + " " + address_ + " " + std::to_string(port) + " " +
                          std::to_string(offsetMs) + " " + std::to_string(lifetimeSeconds);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return;
    // A Unix process gives no handle to wait on: its answers tell it is up.
    // Wine then leaves the process handle null and the thread handle holding
    // whatever it had (seen: 0xd, which is the handle of the caller's standard
    // output with its tag bit set), so neither is closed.
    if (process.hProcess != nullptr) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    for (int attempt = 0; attempt < 25 && !answering_; ++attempt)
        answering_ = answers(address_, port_, 200);
}

NativeNtpServer::~NativeNtpServer() {
    tw::unique_socket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(port_);
    ::inet_pton(AF_INET, address_.c_str(), &to.sin_addr);
    ::sendto(s.get(), "STOP", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

} // namespace tw::testserver
