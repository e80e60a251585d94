// Message boxes: tests replace them, as a box would wait for a click forever.
#pragma once

#include "tw/seam.h"

#include <windows.h>

namespace zymdate {

struct MessageBoxSeam {
    int(WINAPI* show)(HWND, LPCSTR, LPCSTR, UINT);

    static MessageBoxSeam real() { return {::MessageBoxA}; }
};

inline MessageBoxSeam& messageBox() {
    return tw::seam<MessageBoxSeam>();
}

} // namespace zymdate
