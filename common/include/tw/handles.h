// One line per Win32 handle kind the deliverables own.
#pragma once

#include "tw/unique_any.h"

// Before windows.h, as Winsock 2 wants.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>

namespace tw {

// The bits of INVALID_HANDLE_VALUE, for the kinds whose "no handle" value it is.
constexpr std::uintptr_t kInvalidHandleBits = ~std::uintptr_t{0};

namespace detail {
inline void closeHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void closeKey(HKEY h) {
    ::RegCloseKey(h);
}
inline void deleteObject(HGDIOBJ h) {
    ::DeleteObject(h);
}
inline void deleteDc(HDC h) {
    ::DeleteDC(h);
}
inline void destroyIcon(HICON h) {
    ::DestroyIcon(h);
}
inline void destroyMenu(HMENU h) {
    ::DestroyMenu(h);
}
inline void destroyWindow(HWND h) {
    ::DestroyWindow(h);
}
inline void findClose(HANDLE h) {
    ::FindClose(h);
}
inline void freeLibrary(HMODULE h) {
    ::FreeLibrary(h);
}
inline void localFree(HLOCAL h) {
    ::LocalFree(h);
}
inline void closeSocket(SOCKET s) {
    ::closesocket(s);
}
} // namespace detail

using unique_handle = unique_any<HANDLE, detail::closeHandle>;
using unique_file = unique_any<HANDLE, detail::closeHandle, kInvalidHandleBits>;
using unique_find = unique_any<HANDLE, detail::findClose, kInvalidHandleBits>;
using unique_hkey = unique_any<HKEY, detail::closeKey>;
using unique_hfont = unique_any<HFONT, detail::deleteObject>;
using unique_hbrush = unique_any<HBRUSH, detail::deleteObject>;
using unique_hbitmap = unique_any<HBITMAP, detail::deleteObject>;
using unique_hpen = unique_any<HPEN, detail::deleteObject>;
using unique_hdc = unique_any<HDC, detail::deleteDc>; // from CreateCompatibleDC
using unique_hicon = unique_any<HICON, detail::destroyIcon>;
using unique_hmenu = unique_any<HMENU, detail::destroyMenu>;
using unique_hwnd = unique_any<HWND, detail::destroyWindow>;
using unique_hmodule = unique_any<HMODULE, detail::freeLibrary>;
using unique_hlocal = unique_any<HLOCAL, detail::localFree>;
using unique_socket =
    unique_any<SOCKET, detail::closeSocket, static_cast<std::uintptr_t>(INVALID_SOCKET)>;

} // namespace tw
