// Text values in the registry (the program's Run entry lives there).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zym {

// The predefined key for a 32-bit root value as callers pass it (HKEY_LOCAL_MACHINE
// is 0x80000002, sign-extended to a handle), or nothing when the value is not one
// of the predefined keys: an arbitrary number must never be used as a key handle.
std::optional<HKEY> predefinedRoot(std::int32_t root);

// Creates or replaces the REG_SZ value name under root\keyPath, creating the key
// path as needed. False when the system refused or keyPath is empty: values
// directly under a root key are no one's settings.
bool saveSetting(HKEY root, const std::string& keyPath, const std::string& name,
                 const std::string& data);

// Removes the value name under root\keyPath. A missing value or key is no error;
// false when the system refused the removal or keyPath is empty.
bool deleteRegValue(HKEY root, const std::string& keyPath, const std::string& name);

} // namespace zym
