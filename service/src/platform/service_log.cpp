#include "service_log.h"

#include "service_messages.h"
#include "service_names.h"
#include "tw/bstr.h"
#include "zymdate.h"

#include <windows.h>
#include <shlobj.h>

namespace tickwell::service {

std::string serviceDataFolder() {
    char common[MAX_PATH] = {};
    if (FAILED(
            ::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common)))
        return {};
    return std::string(common) + "\\" + kDataFolderName;
}

ServiceLog::ServiceLog(std::string folder, bool eventLog) {
    if (!folder.empty()) {
        ::CreateDirectoryA(folder.c_str(), nullptr);
        path_ = folder + "\\" + kLogFileName;
        // Append-only, readable by others meanwhile; written straight through
        // (no run-time buffer), so an entry is there even if the service ends.
        file_ = ::CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            const std::string separator = std::string(75, '-') + "\r\n";
            DWORD written = 0;
            ::WriteFile(file_, separator.data(), static_cast<DWORD>(separator.size()), &written,
                        nullptr);
        }
    } else {
        file_ = INVALID_HANDLE_VALUE;
    }
    if (eventLog)
        eventSource_ = ::RegisterEventSourceA(nullptr, kEventSource);
}

ServiceLog::~ServiceLog() {
    if (file_ != INVALID_HANDLE_VALUE && file_ != nullptr)
        ::CloseHandle(file_);
    if (eventSource_ != nullptr)
        ::DeregisterEventSource(eventSource_);
}

void ServiceLog::write(Severity severity, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (file_ != INVALID_HANDLE_VALUE && file_ != nullptr) {
        const std::string line = tw::takeBstr(::TIMESTAMP()) + " " + text + "\r\n";
        DWORD written = 0;
        ::WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    if (eventSource_ != nullptr) {
        WORD type = EVENTLOG_INFORMATION_TYPE;
        DWORD id = MSG_INFORMATION;
        if (severity == Severity::Warning) {
            type = EVENTLOG_WARNING_TYPE;
            id = MSG_WARNING;
        } else if (severity == Severity::Error) {
            type = EVENTLOG_ERROR_TYPE;
            id = MSG_ERROR;
        }
        const char* strings[] = {text.c_str()};
        ::ReportEventA(eventSource_, type, 0, id, nullptr, 1, 0, strings, nullptr);
    }
}

} // namespace tickwell::service
