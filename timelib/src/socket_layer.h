// The query's socket layer: one TCP connection at a time (a library-wide slot),
// a time-out on every wait for data, and small error numbers that the query's
// texts show and zym's GETLASTERRORDESCRIPTION describes.
#pragma once

#include "tw/handles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zymdate::net {

// The error numbers of the socket layer.
enum Error : int {
    kOk = 0,
    kOutOfMemory = 7,
    kTimedOut = 24,         // no data arrived within the time-out
    kBadConnection = 52,    // no open connection to read from
    kSlotInUse = 55,        // another query holds the connection slot
    kConnectionFailed = 57, // not resolved, refused, reset, receive failed
    kReplyTooLarge = 61,    // more than kMaxReplyBytes arrived
    kExchangeTooLong = 62,  // the whole exchange outlasted its bound
    kNoSockets = 68,        // Winsock could not start or is not version 2
    kInProgress = 70,       // the socket operation is still in progress
};

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

    // Resolves host (first address) and connects. Returns kOk or an error number.
    // The connection attempt itself is bounded only by the system.
    int open(std::string_view host, int port);

    // Reads until the server closes the connection. Every wait for data lasts at
    // most waitMs (0: no limit); with waitMs set, the whole read lasts at most
    // kExchangeBoundFactor * waitMs. On an error the partial reply is dropped.
    int receiveAll(uint32_t waitMs, std::string& reply);

    void close();

  private:
    tw::unique_socket socket_;
    bool holdsSlot_ = false;
    bool started_ = false;
};

} // namespace zymdate::net
