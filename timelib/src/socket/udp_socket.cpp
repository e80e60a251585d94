#include "socket/udp_socket.h"

#include "socket/deadline.h"
#include "socket/socket_errors.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace zymdate::net {

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
    return receiveReady(datagram);
}

int DatagramSocket::receiveReady(std::string& datagram) {
    datagram.clear();
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
