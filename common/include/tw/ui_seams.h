// The two user-facing effects that every module's tests replace: a message box
// (it would wait for a click forever) and opening a file or web address with
// the shell (it would start an editor or a browser on the test machine). Each
// module holds its own binding (see seam.h); the types are one.
#pragma once

#include "tw/seam.h"

#include <windows.h>
#include <shellapi.h>

namespace tw {

struct MessageBoxSeam {
    int(WINAPI* show)(HWND, LPCSTR, LPCSTR, UINT);

    static MessageBoxSeam real() { return {::MessageBoxA}; }
};

struct ShellOpenSeam {
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

    static ShellOpenSeam real() { return {::ShellExecuteA}; }
};

inline MessageBoxSeam& messageBox() {
    return seam<MessageBoxSeam>();
}

inline ShellOpenSeam& shellOpen() {
    return seam<ShellOpenSeam>();
}

} // namespace tw
