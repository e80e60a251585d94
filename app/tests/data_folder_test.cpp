// Where the settings and the log live: beside the program when its folder
// takes them, else in %APPDATA%\Tickwell, seeded once from the program's folder.
#include <gtest/gtest.h>

#include "data_folder.h"
#include "settings_store.h"
#include "tw/seam.h"
#include "tw/temp_folder.h"

#include <windows.h>

#include <string>

namespace tickwell {
namespace {

using tw::testing::readFile;
using tw::testing::TempFolder;
using tw::testing::writeFile;

std::string gRoaming; // the roaming folder the seam names

struct FallbackCase {
    const char* name;
    bool writable;
    bool roamingKnown;
    const char* adminIni;    // beside the program; null: none
    const char* existingIni; // already in the fallback; null: none
    bool expectFallback;
    const char* expectIni; // the fallback's settings afterwards; null: no file there
};

class DataFolder : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(DataFolder, ChosenAndSeeded) {
    const FallbackCase& c = GetParam();
    TempFolder program, roaming;
    gRoaming = c.roamingKnown ? roaming.path().substr(0, roaming.path().size() - 1) : "";
    static bool writable;
    writable = c.writable;
    tw::ScopedSeam<DataFolderSeam> seam(
        {[](const std::string&) { return writable; }, [] { return gRoaming; }});
    const std::string fallback = roaming.file("Tickwell\\");
    if (c.adminIni) { // as an administrator leaves it: read-only
        ASSERT_TRUE(writeFile(program.file(kIniFileName), c.adminIni));
        ::SetFileAttributesA(program.file(kIniFileName).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    if (c.existingIni) {
        ::CreateDirectoryA(fallback.c_str(), nullptr);
        ASSERT_TRUE(writeFile(fallback + kIniFileName, c.existingIni));
    }

    const std::string chosen = chooseDataFolder(program.path());

    EXPECT_EQ(chosen, c.expectFallback ? fallback : program.path());
    const DWORD attributes = ::GetFileAttributesA(fallback.c_str());
    EXPECT_EQ(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY),
              c.expectFallback || c.existingIni != nullptr);
    if (c.expectIni) {
        EXPECT_EQ(readFile(fallback + kIniFileName), c.expectIni);
        EXPECT_EQ(::GetFileAttributesA((fallback + kIniFileName).c_str()) & FILE_ATTRIBUTE_READONLY,
                  0u)
            << "the user's copy is the user's to change";
    } else {
        EXPECT_EQ(::GetFileAttributesA((fallback + kIniFileName).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    if (c.adminIni) { // the administrator's file is read, never moved or changed
        EXPECT_EQ(readFile(program.file(kIniFileName)), c.adminIni);
        ::SetFileAttributesA(program.file(kIniFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ::DeleteFileA((fallback + kIniFileName).c_str());
    ::RemoveDirectoryA(fallback.c_str());
}

const char kAdmin[] = "[Network]\r\nCurrentNISTServer=ntp.corp.example\r\n";
const char kUsers[] = "[Network]\r\nCurrentNISTServer=users.example\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFolder,
    ::testing::Values(
        FallbackCase{"WritableFolderKeepsItsOwn", true, true, kAdmin, nullptr, false, nullptr},
        FallbackCase{"ReadOnlyFolderFallsBackEmpty", false, true, nullptr, nullptr, true, nullptr},
        FallbackCase{"ReadOnlyFolderSeedsFromAdministrator", false, true, kAdmin, nullptr, true,
                     kAdmin},
        FallbackCase{"UsersOwnSettingsAreNotOverwritten", false, true, kAdmin, kUsers, true,
                     kUsers},
        FallbackCase{"NoRoamingFolderStaysBesideTheProgram", false, false, kAdmin, nullptr, false,
                     nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFolderProbe, WritableFolderAndReadOnlySettingsFile) {
    const auto writable = DataFolderSeam::real().writable;
    TempFolder folder;
    EXPECT_TRUE(writable(folder.path()));
    EXPECT_EQ(::GetFileAttributesA(folder.file("Tickwell.write-test").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "the probe leaves no file behind";
    EXPECT_FALSE(writable(folder.file("missing\\")));
    // A settings file the user may not change sends the settings elsewhere too.
    ASSERT_TRUE(writeFile(folder.file(kIniFileName), "[General]\r\n"));
    EXPECT_TRUE(writable(folder.path()));
    ::SetFileAttributesA(folder.file(kIniFileName).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(writable(folder.path()));
    ::SetFileAttributesA(folder.file(kIniFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
} // namespace tickwell
