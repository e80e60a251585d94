// The service's machine settings: HKLM\SOFTWARE\Tickwell\Service, where only
// administrators may write, and HKLM\SOFTWARE\Policies\Tickwell\Service (Group
// Policy), which wins for each value it sets. A value that is missing, of the
// wrong type or out of range falls back to a default that works.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tickwell::service {

inline constexpr char kSettingsKey[] = "SOFTWARE\\Tickwell\\Service";
inline constexpr char kPolicyKey[] = "SOFTWARE\\Policies\\Tickwell\\Service";

struct MachineSettings {
    std::vector<std::string> servers; // in the order asked; never empty
    int32_t port = 123;
    int32_t timeoutSeconds = 30;
    int32_t serversToAsk = 3;
    int32_t samplesPerServer = 4;
    bool autoSet = true;
    int32_t intervalMinutes = 720;
    int32_t maximumChangeSeconds = 54000; // 0: no limit
    bool allowUsersServers = false;
    // A PEM file of the authorities NTS servers' certificates are checked
    // against; empty: the Windows certificate store.
    std::string ntsCaFile;
};

// One registry value the service reads: its name, its type, and the range a
// number must be in. The one list of them (Group Policy templates and the
// installer are checked against it).
struct MachineValue {
    const char* name;
    enum class Kind { Text, Number } kind;
    int64_t low = 0, high = 0; // Number only
};
std::span<const MachineValue> machineValues();

// What the registry holds under one key: a value's text (REG_SZ) or number
// (REG_DWORD), none when missing or of the other type.
struct ValueReader {
    std::function<std::optional<std::string>(const char* name)> text;
    std::function<std::optional<uint32_t>(const char* name)> number;
};

// The settings from the policy key and the machine key, the policy's value
// winning where it is usable. "Servers" is a list of names separated by
// commas, semicolons or blanks.
MachineSettings machineSettings(const ValueReader& policy, const ValueReader& machine);

// The settings in force, as "tickwellsvc status" shows them: one line each for
// the servers, the schedule, the users' servers and (when set) the NTS CA file,
// each ending in a line feed.
std::string settingsText(const MachineSettings& settings);

// The default server list (the program's own defaults).
std::vector<std::string> defaultServers();

} // namespace tickwell::service
