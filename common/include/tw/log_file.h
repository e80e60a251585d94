// A log file of time-stamped lines, as the program and the service keep one:
// a line of 75 hyphens before the first entry of each run, each entry written
// straight through to the system (no run-time buffer), so it is in the file
// even if the program then ends abnormally. A log that cannot be opened or
// written is skipped: logging never disturbs its program.
#pragma once

#include "tw/handles.h"

#include <windows.h>

#include <string>

namespace tw {

class LogFile {
  public:
    explicit LogFile(std::string path) : path_(std::move(path)) {}

    // Appends stamp + " " + text + CR LF; the first call of this log's life also
    // opens the file (once, successful or not) and writes the separator line.
    void write(const std::string& stamp, const std::string& text) {
        if (!opened_) {
            opened_ = true;
            // Append-only access keeps every write at the end of the file; others
            // may read (a log viewer) or write it meanwhile.
            file_.reset(::CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file_)
                writeAll(std::string(75, '-') + "\r\n");
        }
        if (file_)
            writeAll(stamp + " " + text + "\r\n");
    }

  private:
    void writeAll(const std::string& bytes) {
        DWORD written = 0;
        ::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    std::string path_;
    unique_file file_;
    bool opened_ = false;
};

} // namespace tw
