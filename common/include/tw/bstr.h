// Byte BSTRs: the counted strings that carry texts across the library boundary.
// They hold ANSI bytes (SysAllocStringByteLen), may hold any byte, and a NULL
// BSTR is the empty text.
#pragma once

#include "tw/unique_any.h"

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace tw {

namespace detail {
inline void freeBstr(BSTR b) {
    ::SysFreeString(b);
}
} // namespace detail

using unique_bstr = unique_any<BSTR, detail::freeBstr>;

// A new byte BSTR holding exactly the bytes of text (NULL for the empty text).
inline BSTR makeBstr(std::string_view text) {
    if (text.empty())
        return nullptr;
    return ::SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()));
}

// The bytes a byte BSTR holds.
inline std::string fromBstr(BSTR b) {
    if (b == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(b), ::SysStringByteLen(b));
}

// An owned copy of text, for a text argument a callee may replace (by
// reference) or only read (by value).
inline unique_bstr ownedBstr(std::string_view text) {
    return unique_bstr(makeBstr(text));
}

// The text of a BSTR an export returned, which is freed here.
inline std::string takeBstr(BSTR returned) {
    const unique_bstr owner(returned);
    return fromBstr(owner.get());
}

// The caller's text variable, or the empty text when the pointer itself is NULL.
inline std::string fromBstrRef(const BSTR* p) {
    return p ? fromBstr(*p) : std::string();
}

// Replaces the caller's text variable with a copy of text, freeing what it held.
inline void assignBstr(BSTR* p, std::string_view text) {
    if (p == nullptr)
        return;
    BSTR fresh = makeBstr(text);
    ::SysFreeString(*p);
    *p = fresh;
}

} // namespace tw
