#include "registry_value.h"

#include "tw/handles.h"

namespace zym {

namespace {

// HKEY_CLASSES_ROOT (0x80000000) through HKEY_CURRENT_USER_LOCAL_SETTINGS (0x80000007).
constexpr std::uint32_t kFirstPredefinedRoot = 0x80000000u;
constexpr std::uint32_t kLastPredefinedRoot = 0x80000007u;

} // namespace

std::optional<HKEY> predefinedRoot(std::int32_t root) {
    const auto value = static_cast<std::uint32_t>(root);
    if (value < kFirstPredefinedRoot || value > kLastPredefinedRoot)
        return std::nullopt;
    // The predefined keys are 32-bit values sign-extended to pointer width.
    return reinterpret_cast<HKEY>(static_cast<INT_PTR>(root));
}

bool saveSetting(HKEY root, const std::string& keyPath, const std::string& name,
                 const std::string& data) {
    if (keyPath.empty())
        return false;
    tw::unique_hkey key;
    if (::RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    // REG_SZ data carries its terminating zero.
    return ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool deleteRegValue(HKEY root, const std::string& keyPath, const std::string& name) {
    if (keyPath.empty())
        return false;
    tw::unique_hkey key;
    const LONG opened = ::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_SET_VALUE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    const LONG deleted = ::RegDeleteValueA(key.get(), name.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace zym
