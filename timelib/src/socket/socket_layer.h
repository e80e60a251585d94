// The query's socket layer: one exchange at a time (a library-wide slot), names
// resolved for IPv4 and IPv6, every address tried in the system's order, a
// time-out on the connect and on every wait for data, and small error numbers
// that the query's texts show and zym's GETLASTERRORDESCRIPTION describes.
#pragma once

#include "tw/handles.h"

#include <ws2tcpip.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The library-wide slot and Winsock, held for the life of one exchange.
class Session {
  public:
    Session() = default;
    ~Session() { end(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Takes the slot and starts Winsock 2. kOk, kSlotInUse or kNoSockets.
    int begin();
    void end();

  private:
    bool holdsSlot_ = false;
    bool started_ = false;
};

// One address of a server, as the resolver gives it.
struct Address {
    sockaddr_storage storage{};
    int length = 0;
    int family = AF_UNSPEC;
};

// Every address of host (a name, a dotted IPv4 address or an IPv6 literal, with
// or without brackets) for port, in the system's order. Needs a started Session.
int resolve(std::string_view host, int port, int socketType, std::vector<Address>& addresses);

// A wait that began when this was made and may last waitMs; 0 is no limit.
class Deadline {
  public:
    explicit Deadline(uint32_t waitMs);
    bool unlimited() const { return waitMs_ == 0; }
    // Milliseconds left, 0 once passed (meaningless when unlimited).
    uint32_t leftMs() const;
    uint32_t spentMs() const;

  private:
    uint32_t waitMs_;
    unsigned long long startTick_;
};

// A select() time-out: what is left of deadline, at most capMs when that is
// set; nullptr (no limit) when neither bounds the wait.
timeval* selectLimit(const Deadline& deadline, uint32_t capMs, timeval& storage);

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

  private:
    tw::unique_socket socket_;
};

} // namespace zymdate::net
