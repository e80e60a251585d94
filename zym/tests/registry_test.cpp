// SAVESETTING / DELETEREGVALUE against the real registry (Wine's, in the test prefix).
#include "registry_value.h"
#include "tw/bstr.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using tw::ownedBstr;

constexpr int32_t kCurrentUser = static_cast<int32_t>(0x80000001u);
constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);
constexpr const char* kTestKey = "Software\\TickwellTest";

HKEY rootHandle(int32_t root) {
    return reinterpret_cast<HKEY>(static_cast<INT_PTR>(root));
}

// The REG_SZ value as the registry holds it, or nothing when it is absent or not REG_SZ.
std::optional<std::string> readText(int32_t root, const std::string& keyPath,
                                    const std::string& name) {
    char data[4096];
    DWORD size = sizeof(data);
    if (::RegGetValueA(rootHandle(root), keyPath.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                       data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

int32_t save(int32_t root, const std::string& keyPath, const std::string& name,
             const std::string& data) {
    auto k = ownedBstr(keyPath), n = ownedBstr(name), d = ownedBstr(data);
    return SAVESETTING(&root, k.get(), n.get(), d.get());
}

int32_t remove(int32_t root, const std::string& keyPath, const std::string& name) {
    auto k = ownedBstr(keyPath), n = ownedBstr(name);
    BSTR kb = k.get(), nb = n.get();
    return DELETEREGVALUE(root, &kb, &nb);
}

// One round trip per root: the program's Run entry lives under HKEY_LOCAL_MACHINE,
// which a sign-extension slip in the root conversion would miss.
class RegistrySetting : public ::testing::TestWithParam<int32_t> {
  protected:
    void SetUp() override {
        keyPath_ = std::string(kTestKey) + "\\Run" + std::to_string(::GetCurrentProcessId());
    }
    void TearDown() override {
        ::RegDeleteTreeA(rootHandle(GetParam()), keyPath_.c_str());
        ::RegDeleteKeyA(rootHandle(GetParam()), kTestKey); // only if we left it empty
    }
    std::string keyPath_;
};

TEST_P(RegistrySetting, CreatedReplacedAndDeleted) {
    const int32_t root = GetParam();
    const std::string data = "C:\\Program Files\\Tickwell\\tickwell.exe -minimize";
    ASSERT_FALSE(readText(root, keyPath_, "Tickwell"));

    EXPECT_EQ(save(root, keyPath_, "Tickwell", data), 1) << "key path created as needed";
    EXPECT_EQ(readText(root, keyPath_, "Tickwell"), data);

    EXPECT_EQ(save(root, keyPath_, "Tickwell", "replaced"), 1);
    EXPECT_EQ(readText(root, keyPath_, "Tickwell"), "replaced");

    EXPECT_EQ(remove(root, keyPath_, "Tickwell"), 1);
    EXPECT_FALSE(readText(root, keyPath_, "Tickwell"));

    EXPECT_EQ(remove(root, keyPath_, "Tickwell"), 1) << "an absent value is no error";
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistrySetting, ::testing::Values(kCurrentUser, kLocalMachine),
                         [](const auto& info) {
                             return info.param == kLocalMachine ? "LocalMachine" : "CurrentUser";
                         });

TEST(RegistryValue, DeleteInAMissingKeyIsNoError) {
    EXPECT_EQ(remove(kCurrentUser, std::string(kTestKey) + "\\NoSuchKey\\Deeper", "Tickwell"), 1);
}

TEST(RegistryValue, DeleteLeavesTheOtherValues) {
    const std::string keyPath =
        std::string(kTestKey) + "\\Keep" + std::to_string(::GetCurrentProcessId());
    ASSERT_EQ(save(kCurrentUser, keyPath, "First", "1"), 1);
    ASSERT_EQ(save(kCurrentUser, keyPath, "Second", "2"), 1);
    EXPECT_EQ(remove(kCurrentUser, keyPath, "First"), 1);
    EXPECT_FALSE(readText(kCurrentUser, keyPath, "First"));
    EXPECT_EQ(readText(kCurrentUser, keyPath, "Second"), "2");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, keyPath.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
}

// Wine accepts a zero-extended root as well, so the round trips above cannot see a
// missing sign extension; Windows would refuse such a handle on x64.
TEST(RegistryRoot, ThirtyTwoBitRootsBecomeThePredefinedHandles) {
    const struct {
        std::uint32_t value;
        HKEY key;
    } cases[] = {
        {0x80000000u, HKEY_CLASSES_ROOT},   {0x80000001u, HKEY_CURRENT_USER},
        {0x80000002u, HKEY_LOCAL_MACHINE},  {0x80000003u, HKEY_USERS},
        {0x80000005u, HKEY_CURRENT_CONFIG},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zym::predefinedRoot(static_cast<int32_t>(c.value)), c.key) << std::hex << c.value;
}

// A number that is no predefined key must not be taken for a key handle.
TEST(RegistryValue, RootsOtherThanPredefinedKeysAreRefused) {
    const std::string keyPath = std::string(kTestKey) + "\\Refused";
    for (int32_t root : {0, 1, 0x7FFFFFFF, static_cast<int32_t>(0x80000008u), -1}) {
        EXPECT_EQ(save(root, keyPath, "Tickwell", "x"), 0) << root;
        EXPECT_EQ(remove(root, keyPath, "Tickwell"), 0) << root;
    }
    EXPECT_EQ(SAVESETTING(nullptr, nullptr, nullptr, nullptr), 0);
}

// Values right under a root key are nobody's settings; an empty path is refused
// rather than writing or deleting the root's default value.
TEST(RegistryValue, EmptyKeyPathIsRefused) {
    int32_t root = kCurrentUser;
    EXPECT_EQ(SAVESETTING(&root, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(DELETEREGVALUE(kCurrentUser, nullptr, nullptr), 0);
    EXPECT_FALSE(readText(kCurrentUser, "", "Tickwell"));
    EXPECT_EQ(save(kCurrentUser, "", "Tickwell", "x"), 0);
    EXPECT_FALSE(readText(kCurrentUser, "", "Tickwell"));
}

} // namespace
