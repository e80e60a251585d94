// Helpers shared by zym's tests: a temporary folder per test, byte BSTRs and window texts.
#pragma once

#include "tw/bstr.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace zymtest {

// A fresh folder under %TEMP%, removed with the files in it when the test ends.
class TempFolder {
  public:
    TempFolder() {
        static unsigned counter = 0;
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof(temp), temp);
        path_ = std::string(temp) + "zym-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++counter) + "\\";
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found{};
        HANDLE search = ::FindFirstFileA((path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    ::DeleteFileA((path_ + found.cFileName).c_str());
            } while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in a separator.
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + std::string(name); }

  private:
    std::string path_;
};

// An owned byte BSTR holding text (NULL for the empty text, as callers pass it).
inline tw::unique_bstr bstr(std::string_view text) {
    return tw::unique_bstr(tw::makeBstr(text));
}

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

// The text of a BSTR an export returned; frees it.
inline std::string take(BSTR returned) {
    tw::unique_bstr owner(returned);
    return tw::fromBstr(owner.get());
}

// Writes text to path as it stands, replacing the file.
inline bool writeFile(const std::string& path, std::string_view text) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == text.size();
}

// The whole content of a file, empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        content.append(chunk, got);
    ::CloseHandle(file);
    return content;
}

} // namespace zymtest
