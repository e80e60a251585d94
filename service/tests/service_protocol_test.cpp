// The pipe protocol: requests as the service reads them, replies both ways.
#include "service_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>

namespace tickwell::service {
namespace {

using namespace std::string_literals;

TEST(ServiceProtocol, RequestsAreReadOrRefusedWithTheReason) {
    const std::string longest = "CHECK" + std::string(kMaxRequestBytes - 8, ' ') + "x\r\n";
    const struct {
        std::string bytes;
        std::optional<Verb> verb;
        std::string serverOrError;
    } cases[] = {
        {"STATUS\r\n", Verb::Status, ""},
        {"status\n", Verb::Status, ""},
        {" \tCheck \t time.example (backup) \r\n", Verb::Check, "time.example (backup)"},
        {"SET " + std::string(kMaxServerBytes, 'a') + "\n", Verb::Set,
         std::string(kMaxServerBytes, 'a')},
        {longest, Verb::Check, "x"},
        {"", {}, "The request is empty"},
        {" \t\r\n", {}, "The request is empty"},
        {longest + " ", {}, "The request is longer than 1024 bytes"},
        {"STATUS\r", {}, "The request does not end with a line end"},
        {"STATUS\nSET\n", {}, "The request holds more than one line"},
        {"SET a\0b\n"s, {}, "The request holds a control character (0x00)"},
        {"SET \x7F\n", {}, "The request holds a control character (0x7F)"},
        {"SET caf\xC3\xA9\n", {}, "The request holds a byte that is not printable ASCII (0xC3)"},
        {"FOO bar\n", {}, "Unknown request \"FOO\": expected STATUS, CHECK or SET"},
        {"CHECKtime.example\n",
         {},
         "Unknown request \"CHECKtime.example\": expected STATUS, CHECK or SET"},
        {"STATUS now\n", {}, "STATUS takes no server, but \"now\" follows it"},
        {"SET " + std::string(kMaxServerBytes + 1, 'a') + "\n",
         {},
         "The server name is longer than 255 bytes"},
    };
    for (const auto& c : cases) {
        const ParsedRequest parsed = parseRequest(c.bytes);
        ASSERT_EQ(parsed.request.has_value(), c.verb.has_value()) << c.bytes;
        if (c.verb) {
            EXPECT_EQ(parsed.request->verb, *c.verb) << c.bytes;
            EXPECT_EQ(parsed.request->server, c.serverOrError) << c.bytes;
        } else {
            EXPECT_EQ(parsed.error, c.serverOrError) << c.bytes;
        }
    }
}

// Read back, these are also swept below.
TEST(ServiceProtocol, RequestTextAsAClientSendsIt) {
    EXPECT_EQ(requestText({Verb::Status, "ignored.example"}), "STATUS\r\n");
    EXPECT_EQ(requestText({Verb::Check, ""}), "CHECK\r\n");
    EXPECT_EQ(requestText({Verb::Set, "a.example (b)"}), "SET a.example (b)\r\n");
}

// Whatever arrives, the reader answers: a request that writes back to itself,
// or a reason. Short lines of telling pieces reach every branch; the
// 64 KiB of noise is what a hostile client might send.
TEST(ServiceProtocol, AnyBytesGiveARequestOrAReason) {
    std::mt19937 random(20240506);
    const std::string pieces[] = {"SET", "check", "Status", " ",   "\t",   "time.example",
                                  "(x)", "\r",    "\n",     "\0"s, "\x7F", "\xFF"};
    std::vector<std::string> inputs;
    for (int i = 0; i < 20000; ++i) {
        std::string bytes;
        for (unsigned n = random() % 7; n > 0; --n)
            bytes += pieces[random() % std::size(pieces)];
        inputs.push_back(bytes);
    }
    std::string noise(64 * 1024, ' ');
    for (char& b : noise)
        b = static_cast<char>(random());
    inputs.push_back(noise);
    int read = 0;
    for (const std::string& bytes : inputs) {
        const ParsedRequest parsed = parseRequest(bytes);
        if (!parsed.request) {
            EXPECT_FALSE(parsed.error.empty());
            continue;
        }
        ++read;
        const ParsedRequest again = parseRequest(requestText(*parsed.request));
        ASSERT_TRUE(again.request);
        EXPECT_EQ(again.request->verb, parsed.request->verb);
        EXPECT_EQ(again.request->server, parsed.request->server);
    }
    EXPECT_GT(read, 0); // the sweep reached the requests too
}

void expectSameReply(const Reply& a, const Reply& b) {
    const auto fields = [](const Reply& r) {
        return std::tie(r.result, r.server, r.delayMs, r.changeMs, r.message, r.difference,
                        r.clockMatches, r.clockSet, r.lastOutcome, r.lastOutcomeAt, r.nextCheck,
                        r.schedule);
    };
    EXPECT_EQ(fields(a), fields(b));
    for (auto time : {&Reply::serverTime, &Reply::scheduledAt}) {
        ASSERT_EQ((a.*time).has_value(), (b.*time).has_value());
        if (a.*time) {
            EXPECT_EQ(std::memcmp(&*(a.*time), &*(b.*time), sizeof(SYSTEMTIME)), 0);
        }
    }
}

TEST(ServiceProtocol, RepliesComeBackAsWritten) {
    Reply set = errorReply(" 60369 24-02-29 23:59:58 00 0 0  12.5 UTC(NIST) * ");
    set.result = Reply::Result::Ok;
    set.server = "time.example";
    set.serverTime = SYSTEMTIME{2024, 2, 4, 29, 23, 59, 58, 7}; // a Thursday
    set.delayMs = 12.5;
    set.changeMs = -2000.5;
    set.difference = "PC Clock was 2 Seconds Fast";
    set.clockSet = true;
    Reply status = errorReply("");
    status.lastOutcome = "Set: a: b";
    status.lastOutcomeAt = "06/05/2024 07:08";
    status.nextCheck = "06/05/2024 19:08";
    status.schedule = true;
    status.scheduledAt = SYSTEMTIME{2024, 6, 3, 5, 5, 8, 1, 250};
    status.changeMs = 1500.0;
    Reply failed = errorReply("b.example");
    failed.result = Reply::Result::Failed;
    failed.serverTime = SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 0};
    failed.delayMs = -0.5;
    failed.clockMatches = true;
    // The lines as other programs may read them.
    EXPECT_NE(replyText(set).find("\r\nTime: 2024-02-29 23:59:58.007\r\nDelay: 12.5\r\nChange: -2000.5\r\n"),
              std::string::npos);
    EXPECT_EQ(replyText(status).find("\r\nTime:"), std::string::npos);
    EXPECT_NE(replyText(status).find("\r\nScheduled set: 2024-06-05 05:08:01.250\r\n"),
              std::string::npos);
    EXPECT_EQ(replyText(errorReply("x")).rfind("Result: error\r\nServer: \r\n", 0), 0u);

    for (const Reply& reply : {set, status, failed, errorReply("Too soon")}) {
        const std::optional<Reply> back = parseReply(replyText(reply));
        ASSERT_TRUE(back) << replyText(reply);
        expectSameReply(*back, reply);
    }

    const std::optional<Reply> back = parseReply(replyText(errorReply("one\r\nSet: 1\ttab")));
    ASSERT_TRUE(back);
    expectSameReply(*back, errorReply("one  Set: 1 tab"));
}

TEST(ServiceProtocol, ReplyFitsWhatAClientReads) {
    Reply huge = errorReply(std::string(100'000, 'm'));
    huge.server = huge.difference = huge.lastOutcome = huge.lastOutcomeAt = huge.nextCheck =
        huge.message;
    huge.delayMs = 1e308;
    const std::string text = replyText(huge);
    EXPECT_LE(text.size(), kMaxReplyBytes);
    const std::optional<Reply> back = parseReply(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->message, std::string(kMaxReplyValueBytes, 'm'));
    EXPECT_EQ(back->delayMs, 1e308);
}

TEST(ServiceProtocol, ReplyTextsThatAreNoReply) {
    const char* const refused[] = {
        "",
        "Server: a\r\nResult: ok\r\n",
        "Result: maybe\r\n",
        "Result: ok\r\nTime: 2023-02-29 00:00:00.000\r\n",
        "Result: ok\r\nTime: 2024-1-05 00:00:00.000\r\n",
        "Result: ok\r\nTime: 2024-05-06 24:00:00.000\r\n",
        "Result: ok\r\nTime: 1600-12-31 23:59:59.999\r\n",
        "Result: ok\r\nTime: \r\n",
        "Result: ok\r\nDelay: 1.5ms\r\n",
        "Result: ok\r\nMatches: 2\r\n",
    };
    for (const char* text : refused)
        EXPECT_FALSE(parseReply(text)) << text;

    // Keys of a later version are passed over; bare LF line ends are read too.
    const std::optional<Reply> later = parseReply("Result: failed\nColour: blue\nServer: a\n");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->result, Reply::Result::Failed);
    EXPECT_EQ(later->server, "a");
}

} // namespace
} // namespace tickwell::service
