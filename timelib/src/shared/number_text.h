// Numbers in the library's texts ("Error ( 57)", " 2 Seconds"): one space
// before a number that is not negative, a minus sign before one that is.
#pragma once

#include <cstdint>
#include <string>

namespace zymdate {

inline std::string numberText(int64_t n) {
    return (n >= 0 ? " " : "") + std::to_string(n);
}

} // namespace zymdate
