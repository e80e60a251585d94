// The edge of a text export: nothing may throw across it, so a text that
// cannot be made (out of memory) leaves as the empty text.
#pragma once

#include "tw/bstr.h"

namespace zymdate {

// body returns the text (std::string or std::string_view); the result is a
// new BSTR for the caller.
template <typename Body> BSTR textExport(Body body) noexcept {
    try {
        return tw::makeBstr(body());
    } catch (...) {
        return nullptr;
    }
}

} // namespace zymdate
