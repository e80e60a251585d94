// The number a text starts with, as hand-edited settings and date fields are
// read: shared by the program and the time library, so header-only.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace tw {

// Leading blanks skipped, then the longest prefix that reads as a decimal
// number (sign, digits, a fraction, an exponent); 0 when there is none.
inline double leadingNumber(std::string_view text) {
    const auto isDigit = [&text](size_t i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    for (; isDigit(i); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; isDigit(i); ++i)
            ++digits;
    if (digits == 0)
        return 0;
    size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const size_t exponentStart = j;
        while (isDigit(j))
            ++j;
        if (j > exponentStart)
            end = j;
    }
    const std::string number(text.substr(start, end - start));
    return std::strtod(number.c_str(), nullptr);
}

} // namespace tw
