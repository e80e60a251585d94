#include "event_log.h"

#include "library_calls.h"

#include <windows.h>

namespace tickwell {

namespace {

void writeAll(HANDLE file, const std::string& bytes) {
    // Each entry goes straight to the system with WriteFile (no run-time buffer),
    // so it is in the file even if the program then ends abnormally.
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void EventLog::write(const std::string& stamp, const std::string& text) {
    if (!opened_) {
        opened_ = true;
        // Append-only access keeps every write at the end of the file; others may
        // read (the log viewer) or write it meanwhile.
        file_.reset(::CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file_)
            writeAll(file_.get(), std::string(75, '-') + "\r\n");
    }
    if (file_)
        writeAll(file_.get(), stamp + " " + text + "\r\n");
}

void LogEvent(const std::string& text) {
    static EventLog log(lib::appPath() + kLogFileName);
    log.write(lib::timestamp(), text);
}

} // namespace tickwell
