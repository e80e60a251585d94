// Name resolution for the query: a server's name, dotted IPv4 address or IPv6
// literal turned into every address it has, IPv4 and IPv6, in the system's order.
#pragma once

#include <ws2tcpip.h>

#include <string_view>
#include <vector>

namespace zymdate::net {

// One address of a server, as the resolver gives it.
struct Address {
    sockaddr_storage storage{};
    int length = 0;
    int family = AF_UNSPEC;
};

// Every address of host (a name, a dotted IPv4 address or an IPv6 literal, with
// or without brackets) for port, in the system's order. Needs a started Session.
int resolve(std::string_view host, int port, int socketType, std::vector<Address>& addresses);

} // namespace zymdate::net
