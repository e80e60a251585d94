// One TCP connection to a time server: every address of its name tried in
// turn within the connect's time-out, then the whole reply read with a
// time-out on every wait for data and a bound on the whole exchange.
#pragma once

#include "socket/resolver.h"
#include "socket/session.h"
#include "tw/handles.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zymdate::net {

// One receive asks for at most this much.
inline constexpr size_t kReceiveChunk = 1600;
// A Daytime line is about 50 bytes; anything near this size is not a time reply,
// and the bound keeps a server that streams without end from exhausting memory.
inline constexpr size_t kMaxReplyBytes = 64 * 1024;
// With a time-out set, the whole exchange may last this many times the time-out,
// so a server dripping one byte at a time cannot hold the caller for hours.
inline constexpr uint32_t kExchangeBoundFactor = 4;

// One TCP connection occupying the library-wide slot while it exists.
class Connection {
  public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Resolves host and connects to its addresses in turn until one answers.
    // With connectWaitMs set, all attempts together last at most that long, each
    // address getting an equal share of what is left (0: the system's own limit).
    // Returns kOk or an error number (kTimedOut when the time ran out).
    int open(std::string_view host, int port, uint32_t connectWaitMs = 0);
    // The same for addresses already resolved.
    int open(std::span<const Address> addresses, uint32_t connectWaitMs = 0);

    // Reads until the server closes the connection. Every wait for data lasts at
    // most waitMs (0: no limit); with waitMs set, the whole read lasts at most
    // kExchangeBoundFactor * waitMs. On an error the partial reply is dropped.
    int receiveAll(uint32_t waitMs, std::string& reply);

    void close();

  private:
    int connectAny(std::span<const Address> addresses, uint32_t connectWaitMs);

    Session session_;
    tw::unique_socket socket_;
};

// Connects to addresses in turn, as Connection::open does, into connected (a
// blocking socket), without taking the library's slot: for an exchange that runs
// inside a query already holding it, on a thread of its own.
int connectStream(std::span<const Address> addresses, uint32_t connectWaitMs,
                  tw::unique_socket& connected);

} // namespace zymdate::net
