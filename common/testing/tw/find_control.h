// Test and remote-control helper: a control of a dialog by id, also on the
// dialog's child pages, and of a given window class where two controls share
// the id.
#pragma once

#include <windows.h>

namespace tw::testing {

namespace detail {

struct ControlSearch {
    int id;
    const char* className;
    HWND found;
};

// A named CALLBACK: on x86 a lambda does not convert to a stdcall pointer.
inline BOOL CALLBACK matchControl(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<ControlSearch*>(p);
    char name[64] = {};
    ::GetClassNameA(w, name, sizeof(name));
    if (::GetDlgCtrlID(w) == s->id &&
        (s->className == nullptr || ::lstrcmpiA(name, s->className) == 0))
        s->found = w;
    return s->found == nullptr;
}

} // namespace detail

inline HWND findControl(HWND dialog, int id, const char* className = nullptr) {
    detail::ControlSearch search{id, className, nullptr};
    ::EnumChildWindows(dialog, &detail::matchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace tw::testing
