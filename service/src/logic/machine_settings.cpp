#include "machine_settings.h"

#include "tw/change_limit.h"
#include "tw/default_servers.h"
#include "tw/server_name.h"
#include "tw/trim.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>

namespace tickwell::service {

namespace {

// One value and the setting it fills: a number, a flag, a text, or (none of
// them) the server list.
struct Field {
    MachineValue value;
    int32_t MachineSettings::*number = nullptr;
    bool MachineSettings::*flag = nullptr;
    std::string MachineSettings::*text = nullptr;
};

using Kind = MachineValue::Kind;
constexpr Field kFields[] = {
    {{"Servers", Kind::Text}},
    {{"Port", Kind::Number, 1, 65535}, &MachineSettings::port},
    {{"Timeout", Kind::Number, 1, 300}, &MachineSettings::timeoutSeconds},
    {{"Servers to ask", Kind::Number, 1, 5}, &MachineSettings::serversToAsk},
    {{"Samples per server", Kind::Number, 1, 8}, &MachineSettings::samplesPerServer},
    {{"Automatic set", Kind::Number, 0, 1}, nullptr, &MachineSettings::autoSet},
    {{"Interval", Kind::Number, 1, 44640}, &MachineSettings::intervalMinutes},
    {{"Maximum automatic change", Kind::Number, 0, 2147483647},
     &MachineSettings::maximumChangeSeconds},
    {{"Allow users' servers", Kind::Number, 0, 1}, nullptr, &MachineSettings::allowUsersServers},
    {{"NTS CA file", Kind::Text}, nullptr, nullptr, &MachineSettings::ntsCaFile},
};

constexpr auto kValues = [] {
    std::array<MachineValue, std::size(kFields)> values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = kFields[i].value;
    return values;
}();

constexpr std::string_view kServerSeparators = ",; \t\r\n";

// The list a "Servers" text names, each server once; empty when it names none.
std::vector<std::string> serverList(std::string_view text) {
    std::vector<std::string> servers;
    std::set<std::string> seen;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of(kServerSeparators), text.size());
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        // An entry that is only a note ("(backup)") names no server either.
        const std::string identity = tw::serverIdentity(entry);
        if (!identity.empty() && seen.insert(identity).second)
            servers.emplace_back(entry);
    }
    return servers;
}

std::optional<int64_t> numberIn(const ValueReader& reader, const MachineValue& value) {
    if (!reader.number)
        return std::nullopt;
    const std::optional<uint32_t> number = reader.number(value.name);
    if (!number || *number < value.low || *number > value.high)
        return std::nullopt;
    return *number;
}

// A text without its surrounding blanks, or the quotes Explorer's "Copy as
// path" puts around a path; none when nothing is left.
std::optional<std::string> textIn(const ValueReader& reader, const MachineValue& value) {
    if (!reader.text)
        return std::nullopt;
    const std::optional<std::string> text = reader.text(value.name);
    if (!text)
        return std::nullopt;
    std::string_view kept = tw::trimmed(*text, tw::kWhiteSpace);
    if (kept.size() >= 2 && kept.front() == '"' && kept.back() == '"')
        kept = tw::trimmed(kept.substr(1, kept.size() - 2), tw::kWhiteSpace);
    return kept.empty() ? std::nullopt : std::optional<std::string>(kept);
}

std::vector<std::string> serversIn(const ValueReader& reader, const MachineValue& value) {
    if (!reader.text)
        return {};
    const std::optional<std::string> text = reader.text(value.name);
    return text ? serverList(*text) : std::vector<std::string>{};
}

} // namespace

std::span<const MachineValue> machineValues() {
    return kValues;
}

MachineSettings machineSettings(const ValueReader& policy, const ValueReader& machine) {
    MachineSettings settings;
    for (const Field& field : kFields) {
        if (field.text != nullptr) {
            std::optional<std::string> text = textIn(policy, field.value);
            if (!text)
                text = textIn(machine, field.value);
            if (text)
                settings.*field.text = std::move(*text);
            continue;
        }
        if (field.value.kind == Kind::Text) {
            settings.servers = serversIn(policy, field.value);
            if (settings.servers.empty())
                settings.servers = serversIn(machine, field.value);
            if (settings.servers.empty())
                settings.servers = defaultServers();
            continue;
        }
        std::optional<int64_t> number = numberIn(policy, field.value);
        if (!number)
            number = numberIn(machine, field.value);
        if (!number)
            continue; // the default stays
        if (field.number != nullptr)
            settings.*field.number = static_cast<int32_t>(*number);
        else
            settings.*field.flag = *number != 0;
    }
    return settings;
}

std::string settingsText(const MachineSettings& s) {
    std::string servers;
    for (const std::string& server : s.servers)
        servers += (servers.empty() ? "" : ", ") + server;
    std::string text = "Servers: " + servers + " (port " + std::to_string(s.port) + ", " +
                       std::to_string(s.serversToAsk) + " asked, " +
                       std::to_string(s.samplesPerServer) + " samples each, time-out " +
                       std::to_string(s.timeoutSeconds) + " s)\n";
    text += s.autoSet ? "Automatic set: every " +
                            tw::durationWords(uint64_t{60} * static_cast<uint64_t>(s.intervalMinutes)) +
                            ", " +
                            (s.maximumChangeSeconds == 0
                                 ? std::string("any change")
                                 : "changes of at most " +
                                       tw::durationWords(static_cast<uint64_t>(s.maximumChangeSeconds))) +
                            "\n"
                      : std::string("Automatic set: off\n");
    text += s.allowUsersServers ? "Users' servers: allowed\n"
                                : "Users' servers: only those listed\n";
    if (!s.ntsCaFile.empty())
        text += "NTS CA file: " + s.ntsCaFile + "\n";
    return text;
}

std::vector<std::string> defaultServers() {
    return {tw::kDefaultServers.begin() + tw::kFirstListedDefaultServer, tw::kDefaultServers.end()};
}

} // namespace tickwell::service
