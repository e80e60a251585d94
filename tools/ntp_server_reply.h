// What an NTP server sends, for the loopback server of tests, benchmarks and
// the demo. Written from RFC 5905's packet layout apart from the library's own
// packet code, so that each checks the other.
#pragma once

#include "scripted_server.h"

#include <cstdint>
#include <string>

namespace tw::testserver {

// The fields of a packet as they go on the wire; timestamps in NTP's 32.32 form.
struct NtpFields {
    int leap = 0;
    int version = 4;
    int mode = 4; // server
    int stratum = 1;
    int poll = 6;
    int precision = -20;
    uint32_t rootDelay = 0;      // seconds in 16.16
    uint32_t rootDispersion = 0; // seconds in 16.16
    uint32_t referenceId = 0;
    uint64_t reference = 0;
    uint64_t originate = 0;
    uint64_t receive = 0;
    uint64_t transmit = 0;
};

std::string ntpPacket(const NtpFields& fields);

// A four-character code ("GPS", "RATE") as the reference field holds it.
uint32_t ntpCode(const char* code);

// The transmit field of a request (0 when it is too short to have one).
uint64_t ntpTransmitOf(const std::string& request);

// The PC clock as a FILETIME count (100-ns units since 1601 UTC), as finely as
// the system keeps it, and its NTP timestamp (the era's seconds and fraction).
int64_t pcClockUnits();
uint64_t ntpTimestamp(int64_t filetimeUnits);

// A server whose clock stands offsetMs from the PC's and whose network takes
// outboundMs to bring it the request and returnMs to bring back its reply.
struct NtpServerSetup {
    double offsetMs = 0;
    int outboundMs = 0;
    int returnMs = 0;
    NtpFields fields; // the other fields of its replies (leap, stratum, reference, ...)
};

// Serves every request as that server would, echoing the request's transmit field.
Answer ntpServer(NtpServerSetup setup);

// Holds the calling thread for ms milliseconds, to the performance counter's
// precision (Sleep keeps to the system's tick).
void holdFor(double ms);

} // namespace tw::testserver
