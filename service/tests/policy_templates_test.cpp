// The Group Policy template and the per-machine installer against the values
// the service reads: every policy writes under the policy key, names a value of
// the one list the service reads, with the same kind and range, and every value
// the service reads has a policy; every installer property writes such a value
// under the machine key and is checked against the same range.
#include "machine_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#ifndef TW_POLICY_DIR
#error "TW_POLICY_DIR names the folder of tickwell.admx"
#endif
#ifndef TW_PACKAGING_DIR
#error "TW_PACKAGING_DIR names the folder of tickwell-machine.wxs"
#endif

namespace tickwell::service {
namespace {

std::string unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&apos;", "'"}, {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities)
        for (size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), plain);
    return text;
}

std::string attribute(const std::string& tag, const std::string& name) {
    std::smatch found;
    const std::regex pattern("\\s" + name + "=\"([^\"]*)\"");
    return std::regex_search(tag, found, pattern) ? unescaped(found[1]) : std::string();
}

struct PolicyValue {
    MachineValue::Kind kind;
    int64_t low = 0, high = 0;
    std::string key;
};

// What each policy of the template writes, by value name.
std::map<std::string, PolicyValue> policyValues(const std::string& admx) {
    std::map<std::string, PolicyValue> values;
    const std::regex policy("<policy\\s[^>]*>[\\s\\S]*?</policy>");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), policy);
         it != std::sregex_iterator(); ++it) {
        const std::string block = it->str();
        const std::string head = block.substr(0, block.find('>') + 1);
        PolicyValue value{MachineValue::Kind::Number, 0, 1, attribute(head, "key")};
        std::string name = attribute(head, "valueName");
        std::smatch element;
        if (std::regex_search(block, element, std::regex("<(text|decimal) [^>]*valueName[^>]*>"))) {
            name = attribute(element.str(), "valueName");
            if (element[1] == "text") {
                value.kind = MachineValue::Kind::Text;
            } else {
                value.low = std::stoll(attribute(element.str(), "minValue"));
                value.high = std::stoll(attribute(element.str(), "maxValue"));
            }
        } else if (block.find("<enabledValue>") == std::string::npos) {
            continue; // neither a value nor a switch: caught by the count below
        }
        values[name] = value;
    }
    return values;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const MachineValue* machineValue(const std::string& name) {
    for (const MachineValue& value : machineValues())
        if (name == value.name)
            return &value;
    return nullptr;
}

TEST(PolicyTemplates, EveryPolicyWritesAValueTheServiceReads) {
    const std::string admx = fileText(std::string(TW_POLICY_DIR) + "/tickwell.admx");
    ASSERT_FALSE(admx.empty()) << "no tickwell.admx in " << TW_POLICY_DIR;
    const std::map<std::string, PolicyValue> policies = policyValues(admx);

    EXPECT_EQ(policies.size(), machineValues().size());
    for (const MachineValue& value : machineValues()) {
        SCOPED_TRACE(value.name);
        const auto found = policies.find(value.name);
        ASSERT_NE(found, policies.end()) << "no policy sets it";
        EXPECT_EQ(found->second.key, kPolicyKey);
        EXPECT_EQ(found->second.kind, value.kind);
        if (value.kind == MachineValue::Kind::Number) {
            EXPECT_EQ(found->second.low, value.low);
            EXPECT_EQ(found->second.high, value.high);
        }
    }
}

TEST(MachinePackage, EveryPropertyWritesAValueTheServiceReadsWithinItsRange) {
    const std::string wxs = unescaped(fileText(std::string(TW_PACKAGING_DIR) + "/tickwell-machine.wxs"));
    ASSERT_FALSE(wxs.empty()) << "no tickwell-machine.wxs in " << TW_PACKAGING_DIR;
    const std::regex written("<RegistryValue [^>]*Key=\"SOFTWARE\\\\Tickwell\\\\Service\"[^>]*>");
    int properties = 0;
    for (auto it = std::sregex_iterator(wxs.begin(), wxs.end(), written);
         it != std::sregex_iterator(); ++it, ++properties) {
        const std::string tag = it->str();
        const std::string name = attribute(tag, "Name");
        SCOPED_TRACE(name);
        const MachineValue* value = machineValue(name);
        ASSERT_NE(value, nullptr) << "the service reads no such value";
        std::smatch property;
        const std::string from = attribute(tag, "Value");
        ASSERT_TRUE(std::regex_match(from, property, std::regex("\\[([A-Z]+)\\]")));
        const std::string p = property[1];
        if (value->kind == MachineValue::Kind::Text) {
            EXPECT_EQ(attribute(tag, "Type"), "string");
            continue;
        }
        EXPECT_EQ(attribute(tag, "Type"), "integer");
        // The launch condition that refuses the install outside the service's range.
        const std::string range = "Installed OR NOT " + p + " OR (" + p +
                                  " >= " + std::to_string(value->low) + " AND " + p +
                                  " <= " + std::to_string(value->high) + ")</Condition>";
        EXPECT_NE(wxs.find(range), std::string::npos) << "no condition " << range;
    }
    EXPECT_GE(properties, 6);
}

} // namespace
} // namespace tickwell::service
