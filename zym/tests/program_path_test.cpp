// APPPATH, EXENAME and EXIST, as the program uses them to find its files.
#include "test_support.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using zymtest::bstr;
using zymtest::take;

int32_t exist(const std::string& path) {
    auto p = bstr(path);
    return EXIST(p.get());
}

// File names are appended directly to APPPATH, so it must end in a separator and
// be the folder of the running program.
TEST(ProgramPath, AppPathIsTheFolderOfTheProgramFile) {
    const std::string folder = take(APPPATH());
    const std::string program = take(EXENAME());
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
    EXPECT_NE(exist(take(EXENAME())), 0);
    EXPECT_NE(exist(take(APPPATH()) + "zym.dll"), 0) << "files beside the program are found";
}

TEST(FileExists, FilesAreFoundAndOtherThingsAreNot) {
    zymtest::TempFolder folder;
    const std::string log = folder.file("Tickwell.log");
    EXPECT_EQ(exist(log), 0) << "not yet written";
    ASSERT_TRUE(zymtest::writeFile(log, "started\r\n"));
    EXPECT_NE(exist(log), 0);
    ASSERT_TRUE(zymtest::writeFile(folder.file("empty.txt"), ""));
    EXPECT_NE(exist(folder.file("empty.txt")), 0) << "an empty file is still a file";

    EXPECT_EQ(exist(folder.file("help\\Index.html")), 0) << "missing folder";
    EXPECT_EQ(exist(folder.path()), 0) << "a folder is not a file";
    EXPECT_EQ(exist(""), 0);
    EXPECT_EQ(EXIST(nullptr), 0);
}

} // namespace
