// Test helpers: a fresh folder under %TEMP% for one test, removed with its files
// afterwards, and whole files written and read with the system's own calls.
#pragma once

#include "tw/handles.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::testing {

class TempFolder {
  public:
    TempFolder() {
        static unsigned counter = 0;
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof(temp), temp);
        path_ = std::string(temp) + "tw-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++counter) + "\\";
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found{};
        const unique_find search(::FindFirstFileA((path_ + "*").c_str(), &found));
        if (search) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    ::DeleteFileA((path_ + found.cFileName).c_str());
            } while (::FindNextFileA(search.get(), &found));
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

// Writes text to path as it stands, replacing the file.
inline bool writeFile(const std::string& path, std::string_view text) {
    const unique_file file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) &&
           written == text.size();
}

// The whole content of a file, empty when it cannot be read. Others may hold it
// open meanwhile, for reading or writing.
inline std::string readFile(const std::string& path) {
    const unique_file file(::CreateFileA(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    if (!file)
        return content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
        content.append(chunk, got);
    return content;
}

} // namespace tw::testing
