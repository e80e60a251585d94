#include "system_versions.h"

#include "tw/handles.h"

#include <commctrl.h>

#include <vector>

namespace tickwell {

double getSysFileVer(const std::string& fileName) {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    std::string path(folder, length < MAX_PATH ? length : 0);
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path += fileName;

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return 0;
    std::vector<char> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return 0;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return HIWORD(info->dwFileVersionMS) + LOWORD(info->dwFileVersionMS) / 100.0;
}

double initComCtl32(int32_t classes) {
    tw::unique_hmodule library(::LoadLibraryA("COMCTL32.DLL"));
    if (!library)
        return 0;
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    using Init = void(WINAPI*)();
    if (auto initEx = reinterpret_cast<InitEx>(
            reinterpret_cast<void*>(::GetProcAddress(library.get(), "InitCommonControlsEx")))) {
        constexpr DWORD kAllClasses = 255;
        const INITCOMMONCONTROLSEX record{sizeof(record),
                                          classes != 0 ? static_cast<DWORD>(classes) : kAllClasses};
        initEx(&record);
    } else if (auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(
                   ::GetProcAddress(library.get(), "InitCommonControls")))) {
        init();
    }
    library.reset();
    return getSysFileVer("COMCTL32.DLL");
}

} // namespace tickwell
