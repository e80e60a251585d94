#include "ntp_server_reply.h"

#include "tw/filetime.h"
#include "tw/precise_clock.h"

#include <windows.h>

namespace tw::testserver {

namespace {

void put32(std::string& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

void put64(std::string& bytes, size_t at, uint64_t value) {
    put32(bytes, at, static_cast<uint32_t>(value >> 32));
    put32(bytes, at + 4, static_cast<uint32_t>(value));
}

double counterMs() {
    static const double perMs = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c{};
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

} // namespace

std::string ntpPacket(const NtpFields& f) {
    std::string bytes(48, '\0');
    bytes[0] = static_cast<char>(((f.leap & 3) << 6) | ((f.version & 7) << 3) | (f.mode & 7));
    bytes[1] = static_cast<char>(f.stratum);
    bytes[2] = static_cast<char>(f.poll);
    bytes[3] = static_cast<char>(f.precision);
    put32(bytes, 4, f.rootDelay);
    put32(bytes, 8, f.rootDispersion);
    put32(bytes, 12, f.referenceId);
    put64(bytes, 16, f.reference);
    put64(bytes, 24, f.originate);
    put64(bytes, 32, f.receive);
    put64(bytes, 40, f.transmit);
    return bytes;
}

uint32_t ntpCode(const char* code) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value <<= 8;
        if (*code != '\0')
            value |= static_cast<unsigned char>(*code++);
    }
    return value;
}

uint64_t ntpTransmitOf(const std::string& request) {
    if (request.size() < 48)
        return 0;
    uint64_t value = 0;
    for (size_t i = 40; i < 48; ++i)
        value = (value << 8) | static_cast<unsigned char>(request[i]);
    return value;
}

int64_t pcClockUnits() {
    return tw::preciseClockUnits();
}

uint64_t ntpTimestamp(int64_t filetimeUnits) {
    const int64_t units = filetimeUnits - tw::kUnitsFrom1601To1900;
    const auto seconds = static_cast<uint64_t>(units / tw::kUnitsPerSecond);
    const auto rest = static_cast<uint64_t>(units % tw::kUnitsPerSecond);
    return (seconds << 32) + (rest << 32) / tw::kUnitsPerSecond;
}

Answer ntpServer(NtpServerSetup setup) {
    return [setup](const std::string& request, int) {
        const auto offsetUnits = static_cast<int64_t>(setup.offsetMs * tw::kUnitsPerMillisecond);
        holdFor(setup.outboundMs);
        NtpFields reply = setup.fields;
        reply.originate = ntpTransmitOf(request);
        reply.receive = ntpTimestamp(pcClockUnits() + offsetUnits);
        reply.reference = reply.receive - (uint64_t{16} << 32); // synchronized 16 s ago
        reply.transmit = ntpTimestamp(pcClockUnits() + offsetUnits);
        std::string bytes = ntpPacket(reply);
        holdFor(setup.returnMs);
        return std::vector<Datagram>{{std::move(bytes), false}};
    };
}

void holdFor(double ms) {
    if (ms <= 0)
        return;
    const double until = counterMs() + ms;
    // Sleep for the bulk, spin for the last stretch.
    while (until - counterMs() > 20)
        ::Sleep(10);
    while (counterMs() < until) {
    }
}

} // namespace tw::testserver
