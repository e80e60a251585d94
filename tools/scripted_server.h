// A scriptable TCP server on 127.0.0.1 for tests, benchmarks and the demo:
// every connection it accepts is answered by the same script of steps, on a
// thread of its own, until the server is destroyed.
#pragma once

#include "tw/handles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tw::testserver {

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

class ScriptedServer {
  public:
    // Listens on 127.0.0.1 at `port` (0: any free port). After the script the
    // connection is closed gracefully, unless the script ended with Hold or Reset.
    explicit ScriptedServer(std::vector<Step> script, uint16_t port = 0);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool listening() const { return static_cast<bool>(listener_); }
    uint16_t port() const { return port_; }
    int connectionsServed() const { return served_.load(); }

    // Runs on the calling thread until stop() (for a console server).
    void serveForever();
    void stop() { stopping_ = true; }

  private:
    void acceptLoop();
    void serve(tw::unique_socket client);
    bool waitOrStop(int ms);

    std::vector<Step> script_;
    tw::unique_socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> served_{0};
    std::thread thread_;
    bool started_ = false;
};

// A loopback port that refuses connections (bound, then closed).
uint16_t refusedPort();

} // namespace tw::testserver
