// A fresh folder under %TEMP% for one test, removed with its files afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tickwell::testing {

class TempFolder {
  public:
    TempFolder() {
        char base[MAX_PATH];
        ::GetTempPathA(MAX_PATH, base);
        static int counter = 0;
        path_ = std::string(base) + "tickwell-test-" + std::to_string(::GetCurrentProcessId()) +
                "-" + std::to_string(++counter);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found;
        HANDLE h = ::FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..")
                    ::DeleteFileA((path_ + "\\" + name).c_str());
            } while (::FindNextFileA(h, &found));
            ::FindClose(h);
        }
        ::RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

// What the INI file holds, read with the system's own calls (not through zym).
inline std::string iniValue(const std::string& file, const char* section, const std::string& key,
                            const char* missing = "<missing>") {
    char buffer[4096];
    ::GetPrivateProfileStringA(section, key.c_str(), missing, buffer, sizeof(buffer), file.c_str());
    return buffer;
}

inline std::vector<std::string> iniKeys(const std::string& file, const char* section) {
    std::vector<char> buffer(65536);
    const DWORD n = ::GetPrivateProfileStringA(section, nullptr, "", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::string> keys;
    for (DWORD i = 0; i < n;) {
        std::string key(&buffer[i]);
        i += static_cast<DWORD>(key.size()) + 1;
        if (!key.empty())
            keys.push_back(key);
    }
    return keys;
}

inline std::string readFile(const std::string& path) {
    std::string bytes;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(h, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    ::CloseHandle(h);
    return bytes;
}

} // namespace tickwell::testing
