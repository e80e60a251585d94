#include "history_file.h"

#include "data_folder.h"
#include "library_calls.h"
#include "program_seams.h"
#include "tw/filetime.h"
#include "tw/handles.h"

#include <windows.h>

namespace tickwell {

namespace {

std::string failureText(const std::string& path, DWORD error) {
    return "The history could not be written to " + path + ": " +
           lib::errorDescription(static_cast<int32_t>(error));
}

std::optional<std::string> readWhole(const std::string& path) {
    tw::unique_file file(::CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64LL * 1024 * 1024)
        return std::nullopt;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!text.empty() &&
        (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)))
        return std::nullopt;
    text.resize(got);
    return text;
}

bool writeAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

int64_t utcNowMs() {
    // By the program's clock, which tests may script.
    SYSTEMTIME local{}, utc{};
    localClock().getLocalTime(&local);
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc))
        ::GetSystemTime(&utc);
    return utcMsOf(utc);
}

int64_t utcMsOf(const SYSTEMTIME& utc) {
    FILETIME file{};
    if (!::SystemTimeToFileTime(&utc, &file))
        return 0;
    return (tw::toUnits(file) - tw::kUnitsFrom1601To1970) / tw::kUnitsPerMillisecond;
}

SYSTEMTIME localTimeOf(int64_t utcMs) {
    SYSTEMTIME utc{}, local{};
    tw::unitsToSystemTime(utcMs * tw::kUnitsPerMillisecond + tw::kUnitsFrom1601To1970, utc);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    return local;
}

HistoryFile::HistoryFile(std::string path, size_t maxRecords)
    : path_(std::move(path)), maxRecords_(maxRecords) {}

std::vector<history::Record> HistoryFile::read() const {
    const std::optional<std::string> text = readWhole(path_);
    return text ? history::parseCsv(*text) : std::vector<history::Record>{};
}

std::string HistoryFile::append(history::Record record) {
    if (record.utcMs == 0)
        record.utcMs = utcNowMs();
    std::string error;
    const bool written = write(record, error);
    if (written) {
        failing_ = false;
        return {};
    }
    if (failing_)
        return {};
    failing_ = true;
    return error;
}

bool HistoryFile::write(const history::Record& record, std::string& error) {
    if (!count_) {
        const std::optional<std::string> text = readWhole(path_);
        count_ = text ? history::parseCsv(*text).size() : 0;
    }
    // Append-only access: every write lands at the end, whoever else has it open.
    tw::unique_file file(::CreateFileA(path_.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = failureText(path_, ::GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    std::string bytes;
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) {
        bytes = history::csvHeader();
        count_ = 0;
    }
    bytes += history::csvLine(record);
    if (!writeAll(file.get(), bytes)) {
        error = failureText(path_, ::GetLastError());
        return false;
    }
    file.reset();
    ++*count_;
    if (*count_ > maxRecords_ + kTrimSlack)
        trim();
    return true;
}

// Keeps the newest maxRecords_: written whole to a new file that then replaces
// the old one, so a failure at any point leaves the old file as it was, and the
// next record tries again (a spreadsheet may hold the file for a while).
void HistoryFile::trim() {
    const std::optional<std::string> text = readWhole(path_);
    if (!text)
        return;
    std::vector<history::Record> records = history::parseCsv(*text);
    if (records.size() <= maxRecords_) {
        count_ = records.size();
        return;
    }
    std::string kept = history::csvHeader();
    for (size_t i = records.size() - maxRecords_; i < records.size(); ++i)
        kept += history::csvLine(records[i]);
    const std::string fresh = path_ + ".new";
    {
        tw::unique_file file(::CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !writeAll(file.get(), kept)) {
            file.reset();
            ::DeleteFileA(fresh.c_str());
            return;
        }
    }
    if (!::MoveFileExA(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(fresh.c_str());
        return;
    }
    count_ = maxRecords_;
}

HistoryFile& programHistory() {
    static HistoryFile history(dataFolder() + kHistoryFileName);
    return history;
}

} // namespace tickwell
