#include "query/ntp_packet.h"

#include "tw/filetime.h"

namespace zymdate::ntp {

namespace {

constexpr uint64_t kFractionsPerSecond = uint64_t{1} << 32;

uint32_t readU32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

Timestamp readTimestamp(std::string_view bytes, size_t at) {
    return (static_cast<uint64_t>(readU32(bytes, at)) << 32) | readU32(bytes, at + 4);
}

void writeTimestamp(std::string& bytes, size_t at, Timestamp value) {
    for (size_t i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<char>((value >> (56 - 8 * i)) & 0xFFu);
}

// Byte offsets of the fields (RFC 5905, figure 8).
constexpr size_t kAtStratum = 1;
constexpr size_t kAtRootDelay = 4;
constexpr size_t kAtRootDispersion = 8;
constexpr size_t kAtReferenceId = 12;
constexpr size_t kAtOriginate = 24;
constexpr size_t kAtReceive = 32;
constexpr size_t kAtTransmit = 40;

} // namespace

Timestamp fromUnits(int64_t units) {
    // Floor division, so a count before 1900 still lands on the right second.
    const int64_t since1900 = units - tw::kUnitsFrom1601To1900;
    int64_t seconds = since1900 / tw::kUnitsPerSecond;
    int64_t rest = since1900 % tw::kUnitsPerSecond;
    if (rest < 0) {
        rest += tw::kUnitsPerSecond;
        --seconds;
    }
    // rest < 10^7 < 2^24, so rest * 2^32 fits in 64 bits.
    const uint64_t fraction = (static_cast<uint64_t>(rest) * kFractionsPerSecond +
                               static_cast<uint64_t>(tw::kUnitsPerSecond) / 2) /
                              static_cast<uint64_t>(tw::kUnitsPerSecond);
    // The seconds modulo 2^32 are the era's; a fraction rounded up to a whole
    // second carries into them.
    return (static_cast<uint64_t>(seconds) << 32) + fraction;
}

int64_t unitsBetween(Timestamp earlier, Timestamp later) {
    // The wrapped difference read as signed: NTP's rule for crossing an era.
    const auto difference = static_cast<int64_t>(later - earlier);
    const int64_t seconds = difference >> 32; // floor, fraction below is non-negative
    const uint64_t fraction = static_cast<uint64_t>(difference) & 0xFFFFFFFFu;
    const auto fractionUnits = static_cast<int64_t>(
        (fraction * static_cast<uint64_t>(tw::kUnitsPerSecond) + kFractionsPerSecond / 2) >> 32);
    return seconds * tw::kUnitsPerSecond + fractionUnits;
}

std::optional<Packet> parse(std::string_view datagram) {
    if (datagram.size() < kPacketBytes)
        return std::nullopt;
    const auto first = static_cast<unsigned char>(datagram[0]);
    Packet p;
    p.leap = first >> 6;
    p.version = (first >> 3) & 0x7;
    p.mode = first & 0x7;
    p.stratum = static_cast<unsigned char>(datagram[kAtStratum]);
    p.rootDelay = readU32(datagram, kAtRootDelay);
    p.rootDispersion = readU32(datagram, kAtRootDispersion);
    p.referenceId = readU32(datagram, kAtReferenceId);
    p.originate = readTimestamp(datagram, kAtOriginate);
    p.receive = readTimestamp(datagram, kAtReceive);
    p.transmit = readTimestamp(datagram, kAtTransmit);
    return p;
}

std::string clientRequest(Timestamp transmit) {
    std::string bytes(kPacketBytes, '\0');
    bytes[0] = static_cast<char>((kVersion << 3) | kModeClient); // leap indicator 0
    writeTimestamp(bytes, kAtTransmit, transmit);
    return bytes;
}

std::string referenceText(int stratum, uint32_t referenceId) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(referenceId >> 24),
                                    static_cast<unsigned char>(referenceId >> 16),
                                    static_cast<unsigned char>(referenceId >> 8),
                                    static_cast<unsigned char>(referenceId)};
    std::string text;
    if (stratum <= 1) {
        size_t length = 4;
        while (length > 0 && bytes[length - 1] == 0) // codes shorter than four are zero-padded
            --length;
        for (size_t i = 0; i < length; ++i)
            text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '?';
        return text;
    }
    for (size_t i = 0; i < 4; ++i)
        text += (i ? "." : "") + std::to_string(bytes[i]);
    return text;
}

} // namespace zymdate::ntp
