// Where the service tells what it did: its log file under %ProgramData%\Tickwell
// (the line format of the program's log: a time stamp, the text) and the
// Windows event log. Neither may stop the service: a log that cannot be
// written is skipped.
#pragma once

#include "tw/log_file.h"

#include <mutex>
#include <optional>
#include <string>

namespace tickwell::service {

enum class Severity { Information, Warning, Error };

class ServiceLog {
  public:
    // folder: where the log file goes (created if missing); eventLog: also
    // report to the Windows event log.
    ServiceLog(std::string folder, bool eventLog);
    ~ServiceLog();
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;

    void write(Severity severity, const std::string& text);
    const std::string& path() const { return path_; }

  private:
    std::mutex mutex_;
    std::string path_;
    std::optional<tw::LogFile> file_; // none without a folder
    void* eventSource_ = nullptr;     // HANDLE of RegisterEventSource
};

// %ProgramData%\Tickwell (the folder of the service's log).
std::string serviceDataFolder();

} // namespace tickwell::service
