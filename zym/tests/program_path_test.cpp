// APPPATH, EXENAME and EXIST, as the program uses them to find its files.
#include "tw/bstr.h"
#include "tw/temp_folder.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using tw::ownedBstr;
using tw::takeBstr;

int32_t exist(const std::string& path) {
    auto p = ownedBstr(path);
    return EXIST(p.get());
}

// File names are appended directly to APPPATH, so it must end in a separator and
// be the folder of the running program.
TEST(ProgramPath, AppPathIsTheFolderOfTheProgramFile) {
    const std::string folder = takeBstr(APPPATH());
    const std::string program = takeBstr(EXENAME());
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '\\' || folder.back() == '/') << folder;
    ASSERT_EQ(program.compare(0, folder.size(), folder), 0) << program << " not in " << folder;
    const std::string fileName = program.substr(folder.size());
    EXPECT_EQ(fileName.find_first_of("\\/"), std::string::npos) << fileName;
    std::string lowered = fileName;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(lowered, "zym_tests.exe");
}

TEST(ProgramPath, ExeNameIsAFileThatExists) {
    EXPECT_NE(exist(takeBstr(EXENAME())), 0);
    EXPECT_NE(exist(takeBstr(APPPATH()) + "zym.dll"), 0) << "files beside the program are found";
}

TEST(FileExists, FilesAreFoundAndOtherThingsAreNot) {
    tw::testing::TempFolder folder;
    const std::string log = folder.file("Tickwell.log");
    EXPECT_EQ(exist(log), 0) << "not yet written";
    ASSERT_TRUE(tw::testing::writeFile(log, "started\r\n"));
    EXPECT_NE(exist(log), 0);
    ASSERT_TRUE(tw::testing::writeFile(folder.file("empty.txt"), ""));
    EXPECT_NE(exist(folder.file("empty.txt")), 0) << "an empty file is still a file";

    EXPECT_EQ(exist(folder.file("help\\Index.html")), 0) << "missing folder";
    EXPECT_EQ(exist(folder.path()), 0) << "a folder is not a file";
    EXPECT_EQ(exist(""), 0);
    EXPECT_EQ(EXIST(nullptr), 0);
}

} // namespace
