// Nothing may throw out of an export: a C or VB caller cannot catch it. Each
// adapter runs its body through atEdge, which turns any exception into the
// export's failure result.
#pragma once

#include <utility>

namespace zym {

template <typename Result, typename Body> Result atEdge(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

} // namespace zym
