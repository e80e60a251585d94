#include "ini_quoting.h"

namespace zym {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// True when the reader would change the value: blanks it trims, or quotes it strips.
bool readerWouldAlter(std::string_view value) {
    if (value.empty())
        return false;
    if (isBlank(value.front()) || isBlank(value.back()))
        return true;
    return isQuote(value.front()) || isQuote(value.back());
}

} // namespace

std::string iniStoredForm(std::string_view value) {
    if (!readerWouldAlter(value))
        return std::string(value);
    std::string stored;
    stored.reserve(value.size() + 2);
    stored += '"';
    stored += value;
    stored += '"';
    return stored;
}

} // namespace zym
