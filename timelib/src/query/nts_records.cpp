#include "query/nts_records.h"

#include "query/nts_wire.h"

namespace zymdate::nts {

namespace {

using wire::appendU16;
using wire::readU16;

constexpr size_t kRecordHeaderBytes = 4;

void appendRecord(std::vector<uint8_t>& out, RecordType type, std::span<const uint8_t> body) {
    appendU16(out, static_cast<uint16_t>(kCritical | static_cast<uint16_t>(type)));
    appendU16(out, static_cast<uint16_t>(body.size()));
    wire::append(out, body);
}

std::string errorText(uint16_t code) {
    switch (code) {
    case 0:
        return "the server did not recognize a critical record of the request";
    case 1:
        return "the server reported a bad request";
    case 2:
        return "the server reported an internal server error";
    default:
        return "the server reported error " + std::to_string(code);
    }
}

std::string malformed(std::string_view record, size_t bodyBytes) {
    return "the server sent a malformed " + std::string(record) + " record (" +
           std::to_string(bodyBytes) + (bodyBytes == 1 ? " byte)" : " bytes)");
}

bool isVisibleAscii(std::span<const uint8_t> text) {
    for (uint8_t c : text)
        if (c < 0x21 || c > 0x7E) // no spaces or controls in a host name or address
            return false;
    return true;
}

// A Next Protocol or AEAD body: a list of 16-bit ids that must name exactly the one
// this client offered (repeating it is harmless). Empty when it does.
struct Choice {
    uint16_t offered;
    const char* record;      // "next protocol"
    const char* noun;        // "protocol"
    const char* withArticle; // "a protocol"
};

std::string checkChoice(std::span<const uint8_t> body, const Choice& choice) {
    if (body.size() % 2 != 0)
        return malformed(choice.record, body.size());
    if (body.empty())
        return "the server supports no " + std::string(choice.noun) + " this client offers";
    for (size_t at = 0; at < body.size(); at += 2) {
        const uint16_t id = readU16(body, at);
        if (id != choice.offered)
            return "the server chose " + std::string(choice.withArticle) +
                   " that was not offered (id " + std::to_string(id) + ")";
    }
    return {};
}

constexpr Choice kProtocolChoice{kProtocolNtpV4, "next protocol", "protocol", "a protocol"};
constexpr Choice kAeadChoice{kAeadAesSivCmac256, "AEAD algorithm", "AEAD algorithm",
                             "an AEAD algorithm"};

// Reads the records one by one; a failure, once found, is the result.
class ResponseReader {
  public:
    KeParse read(std::span<const uint8_t> bytes, bool streamEnded);

  private:
    // Empty when the record is fine; End of Message is handled by read.
    std::string take(uint16_t type, std::span<const uint8_t> body);
    std::string finish();

    KeResponse response_;
    bool haveProtocol_ = false;
    bool haveAead_ = false;
    bool haveServer_ = false;
    bool havePort_ = false;
};

KeParse failed(std::string text) {
    KeParse out;
    out.state = KeParse::State::Failed;
    out.failure = std::move(text);
    return out;
}

KeParse ResponseReader::read(std::span<const uint8_t> bytes, bool streamEnded) {
    const std::string tooLong = "the response is longer than 64 KiB";
    size_t at = 0;
    for (;;) {
        const size_t left = bytes.size() - at;
        if (left < kRecordHeaderBytes) {
            if (!streamEnded)
                return at + kRecordHeaderBytes > kMaxResponseBytes ? failed(tooLong) : KeParse{};
            if (bytes.empty())
                return failed("the server closed the connection without a response");
            return failed(left == 0 ? "the response ended without an End of Message record"
                                    : "the response was cut short");
        }
        const uint16_t typeWord = readU16(bytes, at);
        const auto type = static_cast<uint16_t>(typeWord & ~kCritical);
        const size_t bodyBytes = readU16(bytes, at + 2);
        const size_t end = at + kRecordHeaderBytes + bodyBytes;
        if (end > kMaxResponseBytes)
            return failed(tooLong);
        if ((typeWord & kCritical) && type > static_cast<uint16_t>(RecordType::NtpPort))
            return failed("the server sent an unknown critical record (type " +
                          std::to_string(type) + ")");
        if (end > bytes.size())
            return streamEnded ? failed("the response was cut short") : KeParse{};
        const auto body = bytes.subspan(at + kRecordHeaderBytes, bodyBytes);
        at = end;

        if (type == static_cast<uint16_t>(RecordType::EndOfMessage)) {
            if (!body.empty())
                return failed(malformed("End of Message", body.size()));
            if (std::string problem = finish(); !problem.empty())
                return failed(std::move(problem));
            KeParse out;
            out.state = KeParse::State::Complete;
            out.response = std::move(response_);
            return out;
        }
        if (std::string problem = take(type, body); !problem.empty())
            return failed(std::move(problem));
    }
}

std::string ResponseReader::take(uint16_t type, std::span<const uint8_t> body) {
    // The critical bit of a known record changes nothing: the record is understood
    // either way, and refusing a server over a bit it set differently gains nothing.
    switch (static_cast<RecordType>(type)) {
    case RecordType::NextProtocol:
        if (haveProtocol_)
            return "the server sent more than one next protocol record";
        haveProtocol_ = true;
        return checkChoice(body, kProtocolChoice);
    case RecordType::Error:
        return body.size() == 2 ? errorText(readU16(body, 0)) : malformed("error", body.size());
    case RecordType::Warning:
        if (body.size() != 2)
            return malformed("warning", body.size());
        response_.warnings.push_back(readU16(body, 0));
        return {};
    case RecordType::Aead:
        if (haveAead_)
            return "the server sent more than one AEAD algorithm record";
        haveAead_ = true;
        return checkChoice(body, kAeadChoice);
    case RecordType::NewCookie:
        // Cookies past the eighth are not kept, so neither are they judged.
        if (response_.cookies.size() == kMaxCookies)
            return {};
        if (body.empty())
            return "the server sent an empty cookie";
        if (body.size() > kMaxCookieBytes)
            return "the server sent a cookie of " + std::to_string(body.size()) +
                   " bytes, more than the 1024 a request can carry";
        response_.cookies.emplace_back(body.begin(), body.end());
        return {};
    case RecordType::NtpServer:
        if (haveServer_)
            return "the server named more than one NTP server";
        haveServer_ = true;
        if (body.empty())
            return "the server named an empty NTP server";
        if (body.size() > kMaxServerNameBytes)
            return "the server named an NTP server longer than 255 characters";
        if (!isVisibleAscii(body))
            return "the server named an NTP server that is not printable ASCII";
        response_.ntpServer.assign(body.begin(), body.end());
        return {};
    case RecordType::NtpPort:
        if (havePort_)
            return "the server named more than one NTP port";
        havePort_ = true;
        if (body.size() != 2)
            return malformed("NTP port", body.size());
        response_.ntpPort = readU16(body, 0);
        return response_.ntpPort == 0 ? "the server named NTP port 0" : std::string();
    case RecordType::EndOfMessage:
        break; // read's
    }
    return {}; // an unknown record without the critical bit: skipped
}

std::string ResponseReader::finish() {
    if (!haveProtocol_)
        return "the server named no next protocol";
    if (!haveAead_)
        return "the server named no AEAD algorithm";
    if (response_.cookies.empty())
        return "the server sent no cookies";
    return {};
}

} // namespace

std::vector<uint8_t> keRequest() {
    std::vector<uint8_t> out;
    const uint8_t protocol[] = {kProtocolNtpV4 >> 8, kProtocolNtpV4 & 0xFF};
    const uint8_t aead[] = {kAeadAesSivCmac256 >> 8, kAeadAesSivCmac256 & 0xFF};
    appendRecord(out, RecordType::NextProtocol, protocol);
    appendRecord(out, RecordType::Aead, aead);
    appendRecord(out, RecordType::EndOfMessage, {});
    return out;
}

std::array<uint8_t, 5> exporterContext(bool serverToClient) {
    return {kProtocolNtpV4 >> 8, kProtocolNtpV4 & 0xFF, kAeadAesSivCmac256 >> 8,
            kAeadAesSivCmac256 & 0xFF, static_cast<uint8_t>(serverToClient ? 1 : 0)};
}

KeParse parseKeResponse(std::span<const uint8_t> bytes, bool streamEnded) {
    return ResponseReader().read(bytes, streamEnded);
}

} // namespace zymdate::nts
