#include "data_folder.h"

#include "library_calls.h"
#include "settings_store.h"
#include "tw/seam.h"

#include <windows.h>
#include <shlobj.h>

namespace tickwell {

namespace {

inline constexpr char kFallbackName[] = "Tickwell";
inline constexpr char kProbeName[] = "Tickwell.write-test";

// A new file that vanishes when closed: creating it is the only sure test of
// a folder's rights (its security descriptor, a read-only share or medium,
// a policy). The settings file is tried too: an administrator may have put a
// read-only one into a folder users may otherwise write.
bool folderWritable(const std::string& folder) {
    HANDLE probe = ::CreateFileA((folder + kProbeName).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                 nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(probe);
    const std::string ini = folder + kIniFileName;
    const DWORD attributes = ::GetFileAttributesA(ini.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return false;
    HANDLE settings = ::CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (settings == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(settings);
    return true;
}

std::string appDataFolder() {
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                  SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

struct Choice {
    std::string folder;
    bool fallback = false;
};

Choice choose(const std::string& programFolder) {
    if (dataFolderSeam().writable(programFolder))
        return {programFolder, false};
    const std::string roaming = dataFolderSeam().roamingFolder();
    if (roaming.empty())
        return {programFolder, false}; // nowhere better: read-only settings, as before
    const std::string folder = roaming + "\\" + kFallbackName + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    // The administrator's settings are the first run's; after that the user's own,
    // which the user may change even when the administrator's file is read-only.
    const std::string seeded = folder + kIniFileName;
    if (::CopyFileA((programFolder + kIniFileName).c_str(), seeded.c_str(), TRUE)) {
        const DWORD attributes = ::GetFileAttributesA(seeded.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesA(seeded.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    return {folder, true};
}

const Choice& current() {
    static const Choice choice = choose(lib::appPath());
    return choice;
}

} // namespace

DataFolderSeam DataFolderSeam::real() {
    return {folderWritable, appDataFolder};
}

DataFolderSeam& dataFolderSeam() {
    return tw::seam<DataFolderSeam>();
}

std::string chooseDataFolder(const std::string& programFolder) {
    return choose(programFolder).folder;
}

const std::string& dataFolder() {
    return current().folder;
}

bool dataFolderIsFallback() {
    return current().fallback;
}

std::string dataFolderWords() {
    return dataFolderIsFallback() ? "Settings and log in %APPDATA%\\Tickwell"
                                  : "Settings and log beside the program";
}

} // namespace tickwell
