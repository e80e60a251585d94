// Scriptable loopback servers for tests, benchmarks and the demo, on 127.0.0.1
// or ::1. Over TCP every connection is answered by the same script of steps,
// on a thread of its own; over UDP every datagram by what a function returns.
// Both run until the server is destroyed.
#pragma once

#include "tw/handles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tw::testserver {

enum class Family { IPv4, IPv6 };

// The loopback address as a server name: "127.0.0.1" or "::1".
const char* loopbackName(Family family);

// Whether this system can bind the family's loopback address (IPv6 may be off).
bool loopbackAvailable(Family family);

struct Step {
    enum class Kind {
        Send,   // send `bytes`
        SendFn, // send what `make()` returns at that moment
        Pause,  // wait `ms`
        Drip,   // send `bytes` one byte at a time, `ms` apart
        Stream, // send `bytes` over and over until the client leaves (bounded by `limit` bytes)
        Hold,   // keep the connection open until the client leaves or the server stops
        Reset,  // abort the connection (the client sees a reset)
    };
    Kind kind = Kind::Send;
    std::string bytes;
    int ms = 0;
    size_t limit = 0;
    std::function<std::string()> make;
};

Step send(std::string bytes);
Step sendFn(std::function<std::string()> make);
Step pause(int ms);
Step drip(std::string bytes, int msApart);
Step stream(std::string pattern, size_t limitBytes);
Step hold();
Step reset();

// The sockets library, started for as long as this lives. A member declared
// before its owner's sockets, so they are closed before it is given back.
class SocketLibrary {
  public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    explicit operator bool() const { return started_; }

  private:
    bool started_ = false;
};

// The one thread a server serves on. Declared as its server's last member, it
// is stopped and waited for first, before the server's sockets close.
class ServingThread {
  public:
    ServingThread() = default;
    ~ServingThread() {
        stop();
        wait();
    }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    void start(std::function<void()> loop) { thread_ = std::thread(std::move(loop)); }
    void stop() { stopping_ = true; }
    bool stopping() const { return stopping_; }
    // Until the loop ends (after stop()).
    void wait() {
        if (thread_.joinable())
            thread_.join();
    }

  private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

class ScriptedServer {
  public:
    // Listens on the family's loopback address at `port` (0: any free port).
    // After the script the connection is closed gracefully, unless the script
    // ended with Hold or Reset.
    explicit ScriptedServer(std::vector<Step> script, uint16_t port = 0,
                            Family family = Family::IPv4);
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool listening() const { return static_cast<bool>(listener_); }
    uint16_t port() const { return port_; }
    int connectionsServed() const { return served_.load(); }

    // Runs on the calling thread until stop() (for a console server).
    void serveForever() { serving_.wait(); }
    void stop() { serving_.stop(); }

  private:
    void acceptLoop();
    void serve(tw::unique_socket client);
    bool waitOrStop(int ms);

    SocketLibrary library_;
    std::vector<Step> script_;
    tw::unique_socket listener_;
    uint16_t port_ = 0;
    std::atomic<int> served_{0};
    ServingThread serving_;
};

// A loopback port that refuses connections (bound, then closed).
uint16_t refusedPort();

// A loopback port whose listen queue is full: the system drops further
// connection requests as an unreachable host would, so a connect to it neither
// succeeds nor fails until the connecting side gives up.
class StalledListener {
  public:
    explicit StalledListener(Family family = Family::IPv4);
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    uint16_t port() const { return port_; }
    // False when the queue could not be filled (nothing to test against).
    bool stalled() const { return stalled_; }

  private:
    SocketLibrary library_;
    tw::unique_socket listener_;
    std::vector<tw::unique_socket> fillers_;
    uint16_t port_ = 0;
    bool stalled_ = false;
};

// One datagram a DatagramServer sends back.
struct Datagram {
    std::string bytes;
    // Sent from a socket of its own, so it comes from another port than the
    // one the client asked: a stranger's reply.
    bool fromOtherPort = false;
};

// What the server sends back for one request (numbered from 1); nothing drops
// it. It runs on the server's thread and may take its time.
using Answer = std::function<std::vector<Datagram>(const std::string& request, int number)>;

// A UDP server on the family's loopback address.
class DatagramServer {
  public:
    explicit DatagramServer(Answer answer, uint16_t port = 0, Family family = Family::IPv4);
    DatagramServer(const DatagramServer&) = delete;
    DatagramServer& operator=(const DatagramServer&) = delete;

    bool listening() const { return static_cast<bool>(socket_); }
    uint16_t port() const { return port_; }
    int requestsReceived() const { return received_.load(); }

    // Runs on the calling thread until stop() (for a console server).
    void serveForever() { serving_.wait(); }
    void stop() { serving_.stop(); }

  private:
    void receiveLoop();

    SocketLibrary library_;
    Answer answer_;
    Family family_;
    tw::unique_socket socket_;
    uint16_t port_ = 0;
    std::atomic<int> received_{0};
    ServingThread serving_;
};

} // namespace tw::testserver
