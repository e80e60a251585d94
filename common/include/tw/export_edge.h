// Nothing may throw out of an export: a C or VB caller cannot catch it. Every
// adapter of both DLLs that runs code which may throw (an allocation, say) runs
// it through atEdge, which turns any exception into the export's failure result.
#pragma once

#include "tw/bstr.h"

#include <utility>

namespace tw {

template <typename Result, typename Body> Result atEdge(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

// The same, and onFailure (which must not throw) tells the caller more before
// the failure result leaves.
template <typename Result, typename Body, typename OnFailure>
Result atEdge(Result failure, Body&& body, OnFailure&& onFailure) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        std::forward<OnFailure>(onFailure)();
        return failure;
    }
}

// A text export: body returns the text (std::string or std::string_view), the
// caller gets a new BSTR; a text that cannot be made leaves as the empty text.
template <typename Body> BSTR textAtEdge(Body&& body) noexcept {
    return atEdge<BSTR>(nullptr, [&body] { return makeBstr(std::forward<Body>(body)()); });
}

} // namespace tw
