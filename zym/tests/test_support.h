// Helpers shared by zym's tests: window texts.
#pragma once

#include <windows.h>

#include <string>

namespace zymtest {

// A window's class name and its text, as a person would see it.
inline std::string className(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

inline std::string windowText(HWND window) {
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

} // namespace zymtest
