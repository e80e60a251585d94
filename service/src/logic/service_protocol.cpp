#include "service_protocol.h"

#include "tw/trim.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tickwell::service {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kResultKey = "Result";

struct VerbName {
    Verb verb;
    std::string_view name;
};
constexpr VerbName kVerbs[] = {
    {Verb::Status, "STATUS"},
    {Verb::Check, "CHECK"},
    {Verb::Set, "SET"},
};

struct ResultName {
    Reply::Result result;
    std::string_view name;
};
constexpr ResultName kResults[] = {
    {Reply::Result::Ok, "ok"},
    {Reply::Result::Failed, "failed"},
    {Reply::Result::Error, "error"},
};

// The lines after "Result", in the order written. A text is cleaned; Time and
// Delay have their own forms.
struct Field {
    std::string_view key;
    enum class Kind { Text, Flag, Time, Delay, Change } kind;
    std::string Reply::*text = nullptr;
    bool Reply::*flag = nullptr;
    std::optional<SYSTEMTIME> Reply::*time = nullptr;
};
using Kind = Field::Kind;
constexpr Field kFields[] = {
    {"Server", Kind::Text, &Reply::server},
    {"Time", Kind::Time, nullptr, nullptr, &Reply::serverTime},
    {"Delay", Kind::Delay},
    {"Change", Kind::Change},
    {"Message", Kind::Text, &Reply::message},
    {"Difference", Kind::Text, &Reply::difference},
    {"Matches", Kind::Flag, nullptr, &Reply::clockMatches},
    {"Set", Kind::Flag, nullptr, &Reply::clockSet},
    {"Last", Kind::Text, &Reply::lastOutcome},
    {"Last at", Kind::Text, &Reply::lastOutcomeAt},
    {"Next", Kind::Text, &Reply::nextCheck},
    {"Schedule", Kind::Flag, nullptr, &Reply::schedule},
    {"Scheduled set", Kind::Time, nullptr, nullptr, &Reply::scheduledAt},
};
constexpr size_t kTextFields = static_cast<size_t>(std::count_if(
    std::begin(kFields), std::end(kFields), [](const Field& f) { return f.kind == Kind::Text; }));

// Result, Time, Delay (the fixed notation of the largest double is 309 digits)
// and the flags, keys and line ends included.
constexpr size_t kOtherFieldBytes = 500;
static_assert(kTextFields * (kMaxReplyValueBytes + 16) + kOtherFieldBytes <= kMaxReplyBytes,
              "a reply of the longest values must fit what a client reads");

bool sameVerb(std::string_view text, std::string_view name) {
    return std::equal(text.begin(), text.end(), name.begin(), name.end(), [](char a, char b) {
        return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
    });
}

std::string hexByte(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

ParsedRequest refused(std::string error) {
    return ParsedRequest{std::nullopt, std::move(error)};
}

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A value as it may stand on its line: no control character, at most the
// longest value.
std::string cleanValue(std::string_view value) {
    std::string clean(value.substr(0, kMaxReplyValueBytes));
    for (char& c : clean)
        if (isControl(static_cast<unsigned char>(c)))
            c = ' ';
    return clean;
}

void addLine(std::string& text, std::string_view key, std::string_view value) {
    text.append(key).append(": ").append(value).append(kLineEnd);
}

std::string delayText(double delayMs) {
    char text[400]; // fixed notation of the largest double is 309 digits
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, delayMs, std::chars_format::fixed, 1);
    return error == std::errc() ? std::string(text, end) : std::string("0.0");
}

std::string timeText(const SYSTEMTIME& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// The digits at text[at, at + count) as a number; none when any is not a digit.
std::optional<WORD> digitsAt(std::string_view text, size_t at, size_t count) {
    WORD value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = static_cast<WORD>(value * 10 + (text[i] - '0'));
    }
    return value;
}

// "YYYY-MM-DD hh:mm:ss.mmm" exactly, a date and time that exist.
std::optional<SYSTEMTIME> parseTime(std::string_view text) {
    constexpr std::string_view kPicture = "0000-00-00 00:00:00.000";
    if (text.size() != kPicture.size())
        return std::nullopt;
    for (size_t i = 0; i < kPicture.size(); ++i)
        if (kPicture[i] != '0' && text[i] != kPicture[i])
            return std::nullopt;
    const struct {
        size_t at, count;
        WORD SYSTEMTIME::*field;
    } parts[] = {
        {0, 4, &SYSTEMTIME::wYear},          {5, 2, &SYSTEMTIME::wMonth},
        {8, 2, &SYSTEMTIME::wDay},           {11, 2, &SYSTEMTIME::wHour},
        {14, 2, &SYSTEMTIME::wMinute},       {17, 2, &SYSTEMTIME::wSecond},
        {20, 3, &SYSTEMTIME::wMilliseconds},
    };
    SYSTEMTIME t{};
    for (const auto& part : parts) {
        const std::optional<WORD> value = digitsAt(text, part.at, part.count);
        if (!value)
            return std::nullopt;
        t.*part.field = *value;
    }
    // Windows' own calendar decides what exists; the way back fills the day of
    // the week and shows whether the conversion bent a field to fit.
    FILETIME ft{};
    SYSTEMTIME back{};
    if (!::SystemTimeToFileTime(&t, &ft) || !::FileTimeToSystemTime(&ft, &back))
        return std::nullopt;
    for (const auto& part : parts)
        if (back.*part.field != t.*part.field)
            return std::nullopt;
    return back;
}

// False when the value is not of the field's form.
bool readValue(const Field& field, std::string_view value, Reply& reply) {
    switch (field.kind) {
    case Kind::Text:
        reply.*field.text = cleanValue(value);
        return true;
    case Kind::Flag:
        if (value != "0" && value != "1")
            return false;
        reply.*field.flag = value == "1";
        return true;
    case Kind::Time:
        reply.*field.time = parseTime(value);
        return (reply.*field.time).has_value();
    case Kind::Delay: {
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), reply.delayMs);
        return !value.empty() && error == std::errc() && end == value.data() + value.size();
    }
    case Kind::Change: {
        double change = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), change);
        if (value.empty() || error != std::errc() || end != value.data() + value.size())
            return false;
        reply.changeMs = change;
        return true;
    }
    }
    return false;
}

} // namespace

ParsedRequest parseRequest(std::string_view bytes) {
    if (bytes.empty())
        return refused("The request is empty");
    if (bytes.size() > kMaxRequestBytes)
        return refused("The request is longer than " + std::to_string(kMaxRequestBytes) + " bytes");
    const size_t lineEnd = bytes.find('\n');
    if (lineEnd == std::string_view::npos)
        return refused("The request does not end with a line end");
    if (lineEnd != bytes.size() - 1)
        return refused("The request holds more than one line");
    std::string_view line = bytes.substr(0, lineEnd);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    for (const char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\t')
            continue; // a blank, like a space
        if (isControl(c))
            return refused("The request holds a control character (" + hexByte(c) + ")");
        if (c > 0x7E)
            return refused("The request holds a byte that is not printable ASCII (" + hexByte(c) +
                           ")");
    }

    line = tw::trimmed(line, tw::kSpaceAndTab);
    if (line.empty())
        return refused("The request is empty");
    const size_t verbEnd = std::min(line.find_first_of(tw::kSpaceAndTab), line.size());
    const std::string_view verbText = line.substr(0, verbEnd);
    const std::string_view argument = tw::trimmed(line.substr(verbEnd), tw::kSpaceAndTab);

    const auto known = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                    [&](const VerbName& v) { return sameVerb(verbText, v.name); });
    if (known == std::end(kVerbs))
        return refused("Unknown request \"" + std::string(verbText) +
                       "\": expected STATUS, CHECK or SET");
    if (known->verb == Verb::Status && !argument.empty())
        return refused("STATUS takes no server, but \"" + std::string(argument) + "\" follows it");
    if (argument.size() > kMaxServerBytes)
        return refused("The server name is longer than " + std::to_string(kMaxServerBytes) +
                       " bytes");
    return ParsedRequest{Request{known->verb, std::string(argument)}, {}};
}

std::string requestText(const Request& request) {
    std::string text;
    for (const VerbName& v : kVerbs)
        if (v.verb == request.verb)
            text = v.name;
    if (request.verb != Verb::Status && !request.server.empty())
        text.append(" ").append(request.server);
    return text.append(kLineEnd);
}

std::string replyText(const Reply& reply) {
    std::string text;
    for (const ResultName& r : kResults)
        if (r.result == reply.result)
            addLine(text, kResultKey, r.name);
    if (text.empty())
        addLine(text, kResultKey, "error");
    for (const Field& field : kFields) {
        switch (field.kind) {
        case Kind::Text:
            addLine(text, field.key, cleanValue(reply.*field.text));
            break;
        case Kind::Flag:
            addLine(text, field.key, reply.*field.flag ? "1" : "0");
            break;
        case Kind::Time:
            if (reply.*field.time)
                addLine(text, field.key, timeText(*(reply.*field.time)));
            break;
        case Kind::Delay:
            addLine(text, field.key, delayText(reply.delayMs));
            break;
        case Kind::Change:
            if (reply.changeMs)
                addLine(text, field.key, delayText(*reply.changeMs));
            break;
        }
    }
    return text;
}

std::optional<Reply> parseReply(std::string_view text) {
    Reply reply;
    bool first = true;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const size_t colon = line.find(':');
        const std::string_view key = line.substr(0, colon);
        std::string_view value =
            colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
        if (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);

        if (first) {
            const auto r = std::find_if(std::begin(kResults), std::end(kResults),
                                        [&](const ResultName& n) { return n.name == value; });
            if (colon == std::string_view::npos || key != kResultKey || r == std::end(kResults))
                return std::nullopt;
            reply.result = r->result;
            first = false;
            continue;
        }

        if (colon == std::string_view::npos)
            continue;
        const auto field = std::find_if(std::begin(kFields), std::end(kFields),
                                        [&](const Field& f) { return f.key == key; });
        if (field != std::end(kFields) && !readValue(*field, value, reply))
            return std::nullopt;
    }
    if (first)
        return std::nullopt;
    return reply;
}

Reply errorReply(std::string message) {
    Reply reply;
    reply.result = Reply::Result::Error;
    reply.message = std::move(message);
    return reply;
}

} // namespace tickwell::service
