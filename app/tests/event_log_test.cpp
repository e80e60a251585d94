// The event log: entry shape, one separator per run, and silence on failure.
#include <gtest/gtest.h>

#include "event_log.h"
#include "library_calls.h"
#include "tw/temp_folder.h"

#include <regex>
#include <string>

namespace tickwell {
namespace {

using tw::testing::readFile;
using tw::testing::TempFolder;

const std::string kSeparator = std::string(75, '-') + "\r\n";

TEST(EventLog, SeparatorOnceThenOneStampedLinePerEntry) {
    TempFolder folder;
    const std::string path = folder.file("tickwell.log");
    {
        EventLog log(path);
        log.write("12-07-2026 07:45:12 AM", "Tickwell started");
        log.write("12-07-2026 07:45:13 AM", "");
        log.write("12-07-2026 07:45:14 AM", "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * ");
    }
    EXPECT_EQ(readFile(path), kSeparator +
                                  "12-07-2026 07:45:12 AM Tickwell started\r\n"
                                  "12-07-2026 07:45:13 AM \r\n"
                                  "12-07-2026 07:45:14 AM 52289 02-01-15 06:21:59 00 0 0 716.2 "
                                  "UTC(NIST) * \r\n");
}

TEST(EventLog, EachRunAppendsWithItsOwnSeparator) {
    TempFolder folder;
    const std::string path = folder.file("tickwell.log");
    EventLog(path).write("A", "first run");
    EventLog(path).write("B", "two\r\nlines");
    EXPECT_EQ(readFile(path), kSeparator + "A first run\r\n" + kSeparator + "B two\r\nlines\r\n");
}

TEST(EventLog, EntryIsInTheFileBeforeTheLogIsClosed) {
    TempFolder folder;
    const std::string path = folder.file("tickwell.log");
    EventLog log(path);
    log.write("S", "durable");
    EXPECT_EQ(readFile(path), kSeparator + "S durable\r\n");
}

TEST(EventLog, FailedOpenIsSilentAndNotRetriedInTheSameRun) {
    TempFolder folder;
    const std::string sub = folder.file("sub");
    const std::string path = sub + "\\tickwell.log";
    EventLog log(path);
    log.write("S", "lost"); // the folder does not exist yet
    ::CreateDirectoryA(sub.c_str(), nullptr);
    log.write("S", "lost too");
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    ::RemoveDirectoryA(sub.c_str());
}

TEST(EventLog, LogEventWritesBesideTheProgramWithTimestamp) {
    const std::string path = lib::appPath() + kLogFileName;
    ::DeleteFileA(path.c_str());
    LogEvent("Tickwell started");
    LogEvent("Tickwell stopped");
    const std::string text = readFile(path);
    const std::regex shape(
        "-{75}\r\n"
        "\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d (AM|PM) Tickwell started\r\n"
        "\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d (AM|PM) Tickwell stopped\r\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
    ::DeleteFileA(path.c_str());
}

} // namespace
} // namespace tickwell
