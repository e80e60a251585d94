// The judging of a reply: text rules, shape, health digit and the failure texts.
#include <gtest/gtest.h>

#include "daytime_reply.h"
#include "rfc868.h"

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
        EXPECT_EQ(cleanServerName(c.given), c.cleaned) << c.given;
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
            << testing::PrintToString(c.reply);
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
    EXPECT_EQ(str(57), " 57");
    EXPECT_EQ(str(0), " 0");
    EXPECT_EQ(str(-3), "-3");
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

} // namespace
} // namespace zymdate
