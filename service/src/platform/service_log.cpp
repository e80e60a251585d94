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
        file_.emplace(path_);
    }
    if (eventLog)
        eventSource_ = ::RegisterEventSourceA(nullptr, kEventSource);
}

ServiceLog::~ServiceLog() {
    if (eventSource_ != nullptr)
        ::DeregisterEventSource(eventSource_);
}

void ServiceLog::write(Severity severity, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (file_)
        file_->write(tw::takeBstr(::TIMESTAMP()), text);
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
