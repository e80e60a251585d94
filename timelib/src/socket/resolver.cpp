#include "socket/resolver.h"

#include "socket/socket_errors.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <new>
#include <string>

namespace zymdate::net {

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

} // namespace zymdate::net
