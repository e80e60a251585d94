// Opening a web address with the shell: tests replace it, as it would start a
// browser on the test machine.
#pragma once

#include "tw/seam.h"

#include <windows.h>
#include <shellapi.h>

namespace zym {

struct ShellOpenSeam {
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

    static ShellOpenSeam real() { return {::ShellExecuteA}; }
};

inline ShellOpenSeam& shellOpen() {
    return tw::seam<ShellOpenSeam>();
}

} // namespace zym
