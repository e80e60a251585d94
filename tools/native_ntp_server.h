// An NTP server on 127.0.0.host (2..254) for tests that need servers on
// several loopback hosts sharing port 123. Under Wine a socket bound to such
// an address answers from 127.0.0.1, so this one runs natively
// (loopback_ntp.py, started through Wine's support for Unix programs). It
// serves the PC clock plus an offset until destroyed or its lifetime ends.
#pragma once

#include "scripted_server.h"

#include <cstdint>
#include <string>

namespace tw::testserver {

class NativeNtpServer {
  public:
    NativeNtpServer(uint8_t host, uint16_t port, double offsetMs, int lifetimeSeconds = 120);
    ~NativeNtpServer();
    NativeNtpServer(const NativeNtpServer&) = delete;
    NativeNtpServer& operator=(const NativeNtpServer&) = delete;

    // It answered a request within a few seconds of starting.
    bool answering() const { return answering_; }
    const std::string& address() const { return address_; }

  private:
    SocketLibrary library_;
    std::string address_;
    uint16_t port_;
    bool answering_ = false;
};

} // namespace tw::testserver
