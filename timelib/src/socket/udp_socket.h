// A UDP socket for the NTP query, bound to one server address.
#pragma once

#include "socket/resolver.h"
#include "tw/handles.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zymdate::net {

// A UDP socket bound to one server address: the system then delivers only
// datagrams from that address and port, so nothing another host sends reaches
// the query.
class DatagramSocket {
  public:
    int open(const Address& server);
    int send(std::string_view datagram);
    // Waits up to waitMs (0: no limit) for one datagram. kOk with the datagram
    // (empty when it was too large to be a time reply), kTimedOut, or an error.
    int receive(uint32_t waitMs, std::string& datagram);
    // Reads the datagram select() found waiting.
    int receiveReady(std::string& datagram);
    SOCKET handle() const { return socket_.get(); }

  private:
    tw::unique_socket socket_;
};

} // namespace zymdate::net
