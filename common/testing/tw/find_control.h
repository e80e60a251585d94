// Test helper: a control of a dialog by id, also on the dialog's child pages,
// and of a given window class where two controls share the id.
#pragma once

#include <windows.h>

namespace tw::testing {

inline HWND findControl(HWND dialog, int id, const char* className = nullptr) {
    struct Search {
        int id;
        const char* className;
        HWND found;
    } search{id, className, nullptr};
    ::EnumChildWindows(
        dialog,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            char name[64] = {};
            ::GetClassNameA(w, name, sizeof(name));
            if (::GetDlgCtrlID(w) == s->id &&
                (s->className == nullptr || ::lstrcmpiA(name, s->className) == 0))
                s->found = w;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace tw::testing
