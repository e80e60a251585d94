// The machine settings from two registry keys, faked from maps.
#include "machine_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace tickwell::service {
namespace {

template <typename T>
std::optional<T> lookUp(const std::map<std::string, T>& values, const char* name) {
    const auto found = values.find(name);
    return found == values.end() ? std::nullopt : std::optional<T>(found->second);
}

struct FakeKey {
    std::map<std::string, std::string> texts;
    std::map<std::string, uint32_t> numbers;

    ValueReader reader() const {
        return {[this](const char* name) { return lookUp(texts, name); },
                [this](const char* name) { return lookUp(numbers, name); }};
    }
};

MachineSettings settingsFrom(const FakeKey& policy, const FakeKey& machine) {
    return machineSettings(policy.reader(), machine.reader());
}

// The names Group Policy templates use, and the setting each fills.
const struct NumberName {
    const char* name;
    int32_t MachineSettings::*number;
    bool MachineSettings::*flag;
    int64_t of(const MachineSettings& s) const { return number ? s.*number : s.*flag; }
} kNumberNames[] = {
    {"Port", &MachineSettings::port, nullptr},
    {"Timeout", &MachineSettings::timeoutSeconds, nullptr},
    {"Servers to ask", &MachineSettings::serversToAsk, nullptr},
    {"Samples per server", &MachineSettings::samplesPerServer, nullptr},
    {"Automatic set", nullptr, &MachineSettings::autoSet},
    {"Interval", &MachineSettings::intervalMinutes, nullptr},
    {"Maximum automatic change", &MachineSettings::maximumChangeSeconds, nullptr},
    {"Allow users' servers", nullptr, &MachineSettings::allowUsersServers},
};

// Each number: the policy's when in range, else the machine's, else the default;
// both ends of the range hold, one past either end does not.
TEST(MachineSettings, EachNumberFromPolicyThenMachineThenDefault) {
    size_t numbers = 0;
    for (const MachineValue& value : machineValues()) {
        if (value.kind != MachineValue::Kind::Number)
            continue;
        ++numbers;
        const auto field =
            std::find_if(std::begin(kNumberNames), std::end(kNumberNames),
                         [&](const NumberName& n) { return std::string(n.name) == value.name; });
        ASSERT_NE(field, std::end(kNumberNames)) << value.name;
        const auto low = static_cast<uint32_t>(value.low);
        const auto high = static_cast<uint32_t>(value.high);
        const int64_t byDefault = field->of(MachineSettings{});
        const struct {
            std::optional<uint32_t> policy, machine;
            int64_t expected;
        } cases[] = {
            {{}, {}, byDefault},
            {high, low, high},
            {{}, low, low},
            {high + 1, low, low},
            {low - 1, high, high}, // below 0 is 4294967295 as a DWORD
            {high + 1, high + 1, byDefault},
        };
        for (const auto& c : cases) {
            FakeKey policy, machine;
            if (c.policy)
                policy.numbers[value.name] = *c.policy;
            if (c.machine)
                machine.numbers[value.name] = *c.machine;
            EXPECT_EQ(field->of(settingsFrom(policy, machine)), c.expected)
                << value.name << " policy " << c.policy.value_or(0) << " machine "
                << c.machine.value_or(0);
        }
    }
    EXPECT_EQ(numbers, std::size(kNumberNames));
}

TEST(MachineSettings, ServersAreSplitAndEachKeptOnce) {
    using List = std::vector<std::string>;
    const struct {
        std::optional<std::string> policy, machine;
        List expected;
    } cases[] = {
        {"a.example, b.example;c.example \t d.example",
         {},
         {"a.example", "b.example", "c.example", "d.example"}},
        {"a.example,,A.EXAMPLE;;a.example(backup) b.example", {}, {"a.example", "b.example"}},
        {"(note) x.example", "m.example", {"x.example"}},
        {", ; ", "m.example", {"m.example"}},
        {"p.example", "m.example", {"p.example"}},
        {{}, " ,(backup)", defaultServers()},
    };
    ASSERT_FALSE(defaultServers().empty());
    for (const auto& c : cases) {
        FakeKey policy, machine;
        if (c.policy)
            policy.texts["Servers"] = *c.policy;
        if (c.machine)
            machine.texts["Servers"] = *c.machine;
        EXPECT_EQ(settingsFrom(policy, machine).servers, c.expected) << c.policy.value_or("-");
    }
}

// A path as the registry holds it: the policy's unless blank, blanks and the
// quotes of a copied path dropped; none leaves the Windows store (empty).
TEST(MachineSettings, NtsCaFileFromPolicyThenMachine) {
    const struct {
        std::optional<std::string> policy, machine;
        std::string expected;
    } cases[] = {
        {{}, {}, ""},
        {{}, "C:\\ca\\corp.pem", "C:\\ca\\corp.pem"},
        {"D:\\policy ca.pem", "C:\\ca\\corp.pem", "D:\\policy ca.pem"},
        {" \t", " C:\\ca\\corp.pem\r\n", "C:\\ca\\corp.pem"},
        {"\"C:\\Program Files\\ca.pem\"", {}, "C:\\Program Files\\ca.pem"},
        {"\"\"", "\" \"", ""},
    };
    for (const auto& c : cases) {
        FakeKey policy, machine;
        if (c.policy)
            policy.texts["NTS CA file"] = *c.policy;
        if (c.machine)
            machine.texts["NTS CA file"] = *c.machine;
        const MachineSettings settings = settingsFrom(policy, machine);
        EXPECT_EQ(settings.ntsCaFile, c.expected) << c.policy.value_or("-");
        // Shown by "tickwellsvc status" only when set.
        const std::string shown = settingsText(settings);
        if (c.expected.empty())
            EXPECT_EQ(shown.find("NTS CA file"), std::string::npos) << shown;
        else
            EXPECT_TRUE(shown.ends_with("\nNTS CA file: " + c.expected + "\n")) << shown;
    }
}

} // namespace
} // namespace tickwell::service
