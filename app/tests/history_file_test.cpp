// The history file: one header, records appended in order, a locked file
// reported once per spell of failures, and the bound kept by one rewrite.
#include <gtest/gtest.h>

#include "history_file.h"
#include "tw/handles.h"
#include "tw/temp_folder.h"

#include <windows.h>

#include <string>

namespace tickwell {
namespace {

using tw::testing::readFile;
using tw::testing::TempFolder;

history::Record record(int64_t utcMs, std::string server = "time.example") {
    history::Record r;
    r.utcMs = utcMs;
    r.server = std::move(server);
    r.protocol = "NTP";
    r.differenceMs = utcMs % 1000;
    return r;
}

TEST(HistoryFile, AppendsAfterOneHeaderAndReportsALockedFileOnce) {
    TempFolder folder;
    const std::string path = folder.file(kHistoryFileName);
    {
        HistoryFile file(path);
        EXPECT_EQ(file.append(record(1'000)), "");
    }
    HistoryFile file(path); // a later run: the header is not written again
    EXPECT_EQ(file.append(record(2'000, "a, \"b\"")), "");
    const std::string text = readFile(path);
    EXPECT_EQ(text.find("utc,"), 0u);
    EXPECT_EQ(text.find("utc,", 1), std::string::npos) << text;
    ASSERT_EQ(file.read().size(), 2u);
    EXPECT_EQ(file.read()[1], record(2'000, "a, \"b\""));

    {
        // As a spreadsheet holds it: nobody else may open it.
        tw::unique_file locked(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        const std::string reason = file.append(record(3'000));
        EXPECT_EQ(reason.rfind("The history could not be written to " + path + ": ", 0), 0u)
            << reason;
        EXPECT_EQ(file.append(record(4'000)), "") << "reported once";
    }
    EXPECT_EQ(file.append(record(5'000)), "");
    EXPECT_EQ(file.read().size(), 3u);
    {
        tw::unique_file locked(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_NE(file.append(record(6'000)), "") << "a new spell of failures is told again";
    }
}

TEST(HistoryFile, KeepsTheNewestWhenPastItsBound) {
    TempFolder folder;
    const std::string path = folder.file(kHistoryFileName);
    HistoryFile file(path, 3);
    const int64_t appended = 3 + static_cast<int64_t>(kTrimSlack);
    for (int64_t i = 1; i <= appended; ++i)
        ASSERT_EQ(file.append(record(i * 1'000)), "");
    EXPECT_EQ(file.read().size(), static_cast<size_t>(appended)) << "within the slack";
    ASSERT_EQ(file.append(record((appended + 1) * 1'000)), "");
    const std::vector<history::Record> kept = file.read();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept.front().utcMs, (appended - 1) * 1'000);
    EXPECT_EQ(kept.back().utcMs, (appended + 1) * 1'000);
    EXPECT_EQ(readFile(path).find("utc,"), 0u);
    EXPECT_EQ(::GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
} // namespace tickwell
