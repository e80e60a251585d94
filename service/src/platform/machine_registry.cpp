#include "machine_registry.h"

#include "tw/handles.h"

#include <windows.h>

#include <memory>

namespace tickwell::service {
namespace {

// A key of HKLM opened for reading, or none when it does not exist.
std::shared_ptr<tw::unique_hkey> openKey(const char* path) {
    HKEY key = nullptr;
    auto owned = std::make_shared<tw::unique_hkey>();
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS)
        owned->reset(key);
    return owned;
}

ValueReader readerOf(const char* path) {
    const std::shared_ptr<tw::unique_hkey> key = openKey(path);
    ValueReader reader;
    reader.text = [key](const char* name) -> std::optional<std::string> {
        if (!*key)
            return std::nullopt;
        DWORD type = 0, size = 0;
        if (::RegQueryValueExA(key->get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ) || size > 64 * 1024)
            return std::nullopt;
        std::string text(size, '\0');
        if (::RegQueryValueExA(key->get(), name, nullptr, &type,
                               reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        text.resize(std::min<size_t>(size, text.size()));
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        return text;
    };
    reader.number = [key](const char* name) -> std::optional<uint32_t> {
        if (!*key)
            return std::nullopt;
        DWORD type = 0, value = 0, size = sizeof value;
        if (::RegQueryValueExA(key->get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            return std::nullopt;
        return value;
    };
    return reader;
}

} // namespace

MachineSettings readMachineSettings() {
    return machineSettings(readerOf(kPolicyKey), readerOf(kSettingsKey));
}

} // namespace tickwell::service
