// The judging of a reply, without a server: the name, text rules, shape,
// health digit, date layout, Time protocol values, the delay correction and
// the failure texts. The exchange itself is tested over sockets in query_test.
#include <gtest/gtest.h>

#include "query/daytime_reply.h"
#include "query/query_messages.h"
#include "query/rfc868.h"
#include "query/tcp_reply_judgement.h"
#include "query_support.h"
#include "time_support.h"
#include "tw/server_name.h"

namespace zymdate {
namespace {

TEST(ServerName, CleaningKeepsTheBareHostName) {
    struct Case {
        const char* given;
        const char* cleaned;
    } cases[] = {
        {"time.nist.gov", "time.nist.gov"},
        {"  time-a-g.nist.gov (Gaithersburg, Maryland)", "time-a-g.nist.gov"},
        {"host(note)", "host"},
        {"(note) host", ""},
        {"10.0.0.1 extra words", "10.0.0.1"},
        {"   ", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tw::cleanServerName(c.given), c.cleaned) << c.given;
}

TEST(ReplyText, LineFeedsAreTrimmedAtTheEndsAndWidenedInside) {
    struct Case {
        std::string reply;
        std::string text;
    } cases[] = {
        {"\n52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * \n",
         "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * "},
        {"\n\n\nabc\n\n", "abc"},
        {"a\nb\n\nc", "a\r\nb\r\n\r\nc"},
        {"\n\n", ""},
        {"", ""},
        {"\r\nx\r\n", "\r\r\nx\r"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replyText(c.reply), c.text);
}

TEST(ReplyShape, ClassifiedByMarkerAndByTheBytesAsReceived) {
    struct Case {
        std::string reply;
        ReplyKind kind;
    } cases[] = {
        {"52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * ", ReplyKind::Daytime},
        {"\n52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * \n", ReplyKind::Daytime},
        {"52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) *", ReplyKind::NotOnTime},
        {"52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) #", ReplyKind::NotOnTime},
        {std::string("\xE8\x3D\x52\x80", 4), ReplyKind::TimeProtocol},
        // An LF among the four bytes changes neither the shape nor the value.
        {std::string("\x0A\x3D\x0A\x80", 4), ReplyKind::TimeProtocol},
        {std::string("\x0A\x0A\x0A\x0A", 4), ReplyKind::TimeProtocol},
        {std::string("\x00\x00\x00\x00\x00", 5), ReplyKind::TimeProtocol},
        {"", ReplyKind::TooShort},
        {"abc", ReplyKind::TooShort},
        {"\n", ReplyKind::TooShort},
        {"abcdef", ReplyKind::NotOnTime},
        // Too short for any Daytime line, so the marker does not make one.
        {std::string("\xE8\x3D\x2A\x20", 4), ReplyKind::TimeProtocol},
        {std::string("\x0A* \x0A\x0A", 5), ReplyKind::TimeProtocol},
        {"x* ", ReplyKind::TooShort},
        {"\n\n\n\n* \n", ReplyKind::Daytime},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyReply(c.reply, replyText(c.reply)), c.kind)
            << ::testing::PrintToString(c.reply);
}

TEST(Rfc868Bytes, ValueIsTakenMostSignificantFirstWithMissingBytesZero) {
    EXPECT_EQ(rfc868SecondsFromBytes(std::string("\xE8\x3D\x52\x80", 4)), 3'896'332'928u);
}

TEST(HealthDigit, ReadAtPositionThirty) {
    const std::string line = "52289 02-01-15 06:21:59 00 0 H 716.2 UTC(NIST) * ";
    struct Case {
        char at30;
        int health;
    } cases[] = {{'0', 0}, {'1', 1}, {'2', 2}, {'3', 3}, {'9', 9}, {'x', 0}, {' ', 0}};
    for (const auto& c : cases) {
        std::string text = line;
        text[29] = c.at30;
        EXPECT_EQ(healthDigit(text), c.health) << c.at30;
    }
    EXPECT_EQ(healthDigit("too short * "), 0);
}

TEST(DaytimeDate, CenturyTwentyIsPutBeforeTheTwoDigitYear) {
    EXPECT_EQ(daytimeDateText("52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST)* "),
              "2002-01-15 06:21:59");
    EXPECT_EQ(daytimeDateText("61380 26-12-06 07:45:12 00 0 0 50.0 UTC(NIST) * "),
              "2026-12-06 07:45:12");
    EXPECT_EQ(daytimeDateText("61380 99-99-99 99:99:99"), "2099-99-99 99:99:99");
}

TEST(DaytimeDate, FieldsOffTheLayoutGiveNoText) {
    for (const char* text :
         {"onlyone", "52289 02-01-15", "52289 02-01-15 ", "52289 2-01-15 06:21:59 0",
          "52289 02-01-15 6:21:59 0", "52289 02/01/15 06:21:59 0", "52289 02-01-15 06-21-59 0",
          "52289 02-01-1x 06:21:59 0", "52289 02-01-15 06:21:590 0", "52289  02-01-15 06:21:59 0"})
        EXPECT_EQ(daytimeDateText(text), std::nullopt) << text;
}

TEST(Messages, NumbersCarryTheSignPosition) {
    EXPECT_EQ(messages::connectError(68, "No sockets"), "Error ( 68)No sockets");
    EXPECT_EQ(messages::receiveError(24, "Timed out"), "Error  24 Timed out");
    EXPECT_EQ(messages::cannotConnect("host"), "Could not establish connection to host");
    EXPECT_EQ(messages::unhealthy("h"),
              "h appears to be unhealthy, please check again in 10 minutes or more");
    EXPECT_EQ(messages::veryUnhealthy("h"), "h is very unhealthy, please try another server");
    EXPECT_EQ(messages::notOnTime("line"),
              "Network delays are preventing time from being received on time\r\nline");
}

TEST(Messages, ShortRepliesNameTheServer) {
    EXPECT_NE(messages::noTime("srv", 0).find("srv"), std::string::npos);
    EXPECT_NE(messages::noTime("srv", 3).find("3 bytes"), std::string::npos);
    EXPECT_NE(messages::noTime("srv", 1).find("1 byte,"), std::string::npos);
}

// --- judging a whole reply ------------------------------------------------------

using test::civilTime;
using testing::millisecondsBetween;

const std::string kLine = "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * ";
const SYSTEMTIME kLineTime = civilTime(2002, 1, 15, 6, 21, 59);
// Half of it is exactly the fixed 5 ms taken off: the time is the one received.
constexpr uint32_t kNeutralExchangeMs = 10;

std::string withHealth(char digit) {
    std::string line = kLine;
    line[29] = digit;
    return line;
}

TcpReplyJudgement judged(const std::string& reply) {
    return judgeTcpReply("127.0.0.1", reply, kNeutralExchangeMs);
}

void expectAccepted(const TcpReplyJudgement& j, const SYSTEMTIME& received) {
    ASSERT_TRUE(j.accepted) << j.message;
    EXPECT_EQ(j.delay, kNeutralExchangeMs / 2);
    EXPECT_EQ(millisecondsBetween(received, j.serverTime), 0);
}

TEST(TcpReplyJudgement, DaytimeLineIsTheTimeAndTheMessageWhateverLineFeedsWrapIt) {
    for (const std::string& reply : {kLine, "\n" + kLine + "\n", "\n\n" + kLine + "\n\n"}) {
        const TcpReplyJudgement j = judged(reply);
        EXPECT_EQ(j.kind, ReplyKind::Daytime);
        expectAccepted(j, kLineTime);
        EXPECT_EQ(j.message, kLine);
    }
    // A CR before the final LF stays in the text, which then lacks the marker at its end.
    EXPECT_EQ(judged("\r\n" + kLine + "\r\n").kind, ReplyKind::NotOnTime);
}

TEST(TcpReplyJudgement, HealthDigitDecides) {
    struct Case {
        char digit;
        int health;
        bool accepted;
        std::string message;
    } cases[] = {
        {'0', 0, true, ""},
        {'3', 3, true, ""},
        {'9', 9, true, ""},
        {'x', 0, true, ""},
        {'1', 1, false,
         "127.0.0.1 appears to be unhealthy, please check again in 10 minutes or more"},
        {'2', 2, false, "127.0.0.1 is very unhealthy, please try another server"},
    };
    for (const auto& c : cases) {
        const TcpReplyJudgement j = judged("\n" + withHealth(c.digit) + "\n");
        EXPECT_EQ(j.health, c.health) << c.digit;
        EXPECT_EQ(j.accepted, c.accepted) << c.digit;
        if (c.accepted)
            expectAccepted(j, kLineTime);
        else
            EXPECT_EQ(j.message, c.message);
    }
}

TEST(TcpReplyJudgement, LineWithoutTheOnTimeMarkerSpaceIsRefused) {
    const std::string line = "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) *";
    const TcpReplyJudgement j = judged("\n" + line + "\n");
    EXPECT_FALSE(j.accepted);
    EXPECT_EQ(j.message,
              "Network delays are preventing time from being received on time\r\n" + line);
}

// Lines with the on-time marker whose date or time field is not in the NIST
// layout. The date parser reads several of them as some date (December 1899, the
// year 202, a day of the current year), which must not become the server's time.
TEST(TcpReplyJudgement, DaytimeLineWithAnUnreadableDateIsRefused) {
    const char* const lines[] = {
        "hello there, this is not a time line at all * ",
        "52289 ab  00 0 0 716.2 UTC(NIST) * ",
        "52289 2-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * ",
        "52289  12 00 0 0 716.2 UTC(NIST) * ",
        "52289 02-01-15 6:21:59 00 0 0 716.2 UTC(NIST) * ",
        "52289 02-13-45 06:21:59 00 0 0 716.2 UTC(NIST) * ",
    };
    for (const std::string line : lines) {
        const TcpReplyJudgement j = judged("\n" + line + "\n");
        EXPECT_FALSE(j.accepted) << line;
        EXPECT_EQ(j.message, "127.0.0.1 sent a time line whose date could not be read\r\n" + line);
    }
}

TEST(TcpReplyJudgement, TimeProtocolValuesAreTakenFromTheBytesAsReceived) {
    struct Case {
        std::string bytes;
        SYSTEMTIME received;
    } cases[] = {
        {std::string("\xE8\x3D\x52\x80", 4), civilTime(2023, 6, 21, 10, 42, 8)},
        {std::string("\x00\x00\x00\x00", 4), civilTime(1900, 1, 1, 0, 0, 0)},
        {std::string("\xFF\xFF\xFF\xFF", 4), civilTime(2036, 2, 7, 6, 28, 15)},
        // 0x0A3D520A seconds: 0x0A bytes at the start, end and middle stay as they are.
        {std::string("\x0A\x3D\x52\x0A", 4), civilTime(1905, 6, 12, 7, 40, 58)},
        {std::string("\xE8\x0A\x0A\x80", 4), civilTime(2023, 5, 13, 13, 9, 20)},
        // Ends in "* " like a Daytime line: a value, not a line, whatever its last bytes.
        {std::string("\xE8\x3D\x2A\x20", 4), civilTime(2023, 6, 21, 7, 49, 52)},
    };
    for (const auto& c : cases) {
        const TcpReplyJudgement j = judged(c.bytes);
        EXPECT_EQ(j.kind, ReplyKind::TimeProtocol);
        expectAccepted(j, c.received);
    }
}

TEST(TcpReplyJudgement, TimeProtocolMessageIsTheReceivedTimeInTheDefaultPictures) {
    const TcpReplyJudgement j = judged(std::string("\xE8\x3D\x52\x80", 4));
    ASSERT_TRUE(j.accepted);
    EXPECT_EQ(j.message, "Wednesday, June 21, 2023 10:42:08 AM");
}

TEST(TcpReplyJudgement, EmptyAndShortRepliesAreFailuresNamingTheServer) {
    for (const std::string& bytes : {std::string(), std::string("\n"), std::string("ab")}) {
        const TcpReplyJudgement j = judged(bytes);
        EXPECT_FALSE(j.accepted) << bytes.size();
        EXPECT_NE(j.message.find("127.0.0.1"), std::string::npos) << j.message;
    }
}

// Half the exchange time less 5 ms, to the 100 ns; the record keeps whole milliseconds.
TEST(TcpReplyJudgement, CorrectionIsHalfTheExchangeTimeLessFiveMilliseconds) {
    struct Case {
        uint32_t exchangeMs;
        double delay;
        SYSTEMTIME corrected;
    } cases[] = {
        {101, 50, civilTime(2002, 1, 15, 6, 22, 0, 45)}, // +45.5 ms
        {0, 0, civilTime(2002, 1, 15, 6, 21, 59, 995)},  // -5 ms
        {1, 0, civilTime(2002, 1, 15, 6, 21, 59, 995)},  // -4.5 ms
        {96, 48, civilTime(2002, 1, 15, 6, 22, 0, 43)},  // +43 ms
    };
    for (const auto& c : cases) {
        const TcpReplyJudgement j =
            judgeTcpReply("h", "52289 02-01-15 06:22:00 00 0 0 716.2 UTC(NIST) * ", c.exchangeMs);
        ASSERT_TRUE(j.accepted) << j.message;
        EXPECT_EQ(j.delay, c.delay) << c.exchangeMs;
        EXPECT_EQ(millisecondsBetween(c.corrected, j.serverTime), 0) << c.exchangeMs;
    }
}

} // namespace
} // namespace zymdate
