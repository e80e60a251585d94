#include "query/daytime_reply.h"

#include "tw/trim.h"

#include <vector>

namespace zymdate {

std::string replyText(std::string_view reply) {
    const std::string_view core = tw::trimmed(reply, "\n");
    std::string text;
    text.reserve(core.size() + 8);
    for (char c : core) {
        if (c == '\n')
            text += "\r\n";
        else
            text += c;
    }
    return text;
}

int healthDigit(std::string_view text) {
    constexpr size_t kHealthIndex = 29; // position 30, counted from 1
    if (text.size() <= kHealthIndex)
        return 0;
    const char c = text[kHealthIndex];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

namespace {

// Two digits, the separator, two digits, the separator, two digits.
bool isTwoDigitTriple(std::string_view field, char separator) {
    if (field.size() != 8)
        return false;
    for (size_t i = 0; i < field.size(); ++i) {
        const bool separatorPlace = i == 2 || i == 5;
        const char c = field[i];
        if (separatorPlace ? c != separator : (c < '0' || c > '9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> daytimeDateText(std::string_view text) {
    // Fields are separated by single spaces; field 2 is the date, field 3 the time.
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 3) {
        const size_t space = text.find(' ', start);
        fields.push_back(
            text.substr(start, space == std::string_view::npos ? space : space - start));
        if (space == std::string_view::npos)
            break;
        start = space + 1;
    }
    // The date parser reads odd fields as some other date ("20ab " as 20:00 in
    // December 1899, "202-01-15" as the year 202), and a line off the layout
    // has no health digit at position 30 either.
    if (fields.size() < 3 || !isTwoDigitTriple(fields[1], '-') || !isTwoDigitTriple(fields[2], ':'))
        return std::nullopt;
    return "20" + std::string(fields[1]) + " " + std::string(fields[2]);
}

} // namespace zymdate
