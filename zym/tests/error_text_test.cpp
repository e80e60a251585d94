// GETLASTERRORDESCRIPTION: socket layer numbers in our words, Windows codes in the
// system's, a clear fallback for the rest.
#include "error_text.h"
#include "socket_error_text.h"
#include "tw/bstr.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using tw::takeBstr;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool endsCleanly(const std::string& text) {
    return !text.empty() && text.back() != '\r' && text.back() != '\n' && text.back() != ' ';
}

// The time query appends these to its failure messages; they must win over the
// Windows codes of the same numbers (24 is also ERROR_BAD_LENGTH, 57 a network
// adapter error), or the user would read about the wrong problem. Each names
// what went wrong; the exact wording is free.
TEST(ErrorDescription, SocketLayerNumbersHaveTheirOwnTexts) {
    const struct {
        int32_t number;
        const char* word; // what the text must speak of
    } cases[] = {
        {7, "memory"},    {24, "time-out"},   {52, "connection"},
        {55, "in use"},   {57, "connection"}, {61, "more data"},
        {62, "too long"}, {68, "sockets"},    {70, "in progress"},
    };
    for (const auto& c : cases) {
        const std::string text = takeBstr(GETLASTERRORDESCRIPTION(c.number, 0));
        EXPECT_NE(lower(text).find(c.word), std::string::npos) << c.number << ": " << text;
        EXPECT_NE(text, zym::systemErrorMessage(static_cast<uint32_t>(c.number))) << c.number;
        EXPECT_TRUE(endsCleanly(text)) << c.number << ": [" << text << "]";
    }
    EXPECT_NE(lower(takeBstr(GETLASTERRORDESCRIPTION(68, 0))).find("2"), std::string::npos)
        << "68 also covers a sockets library that is not version 2";
}

TEST(ErrorDescription, WindowsCodesGetTheSystemTextWithoutLineBreak) {
    const struct {
        int32_t code;
        const char* word; // in the Windows and the Wine wording alike
    } cases[] = {
        {ERROR_ACCESS_DENIED, "denied"},
        {ERROR_PRIVILEGE_NOT_HELD, "privilege"},
        {ERROR_FILE_NOT_FOUND, "file"},
        {ERROR_INVALID_PARAMETER, "parameter"},
    };
    for (const auto& c : cases) {
        const std::string text = takeBstr(GETLASTERRORDESCRIPTION(c.code, 0));
        EXPECT_NE(lower(text).find(c.word), std::string::npos) << c.code << ": " << text;
        EXPECT_TRUE(endsCleanly(text)) << c.code << ": [" << text << "]";
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << c.code;
    }
}

TEST(ErrorDescription, CodesWithoutSystemTextGetTheFallback) {
    for (int32_t code : {12345, 987654, -5})
        EXPECT_EQ(takeBstr(GETLASTERRORDESCRIPTION(code, 0)),
                  "Unknown error " + std::to_string(code));
}

// Only the socket layer's own numbers are taken over; their neighbours stay Windows codes.
TEST(SocketErrorText, NeighbouringNumbersAreNotTheSocketLayers) {
    for (int32_t number : {0, 6, 8, 23, 25, 53, 56, 58, 60, 63, 67, 69, 71, 10061, -57})
        EXPECT_FALSE(zym::socketErrorText(number).has_value()) << number;
}

TEST(ErrorTextTrim, TrailingBreaksAndBlanksGoInnerOnesStay) {
    const struct {
        const char* raw;
        const char* trimmed;
    } cases[] = {
        {"Access is denied.\r\n", "Access is denied."},
        {"Two lines.\r\nSecond line.\r\n\r\n", "Two lines.\r\nSecond line."},
        {"Blanks after. \t \r\n ", "Blanks after."},
        {"Nothing to trim", "Nothing to trim"},
        {"\r\n \r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zym::trimMessageEnd(c.raw), c.trimmed) << "[" << c.raw << "]";
}

} // namespace
