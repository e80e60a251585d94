// The Group Policy template against the values the service reads: every policy
// writes under the policy key, names a value of the one list the service reads,
// with the same kind and range, and every value the service reads has a policy.
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

TEST(PolicyTemplates, EveryPolicyWritesAValueTheServiceReads) {
    std::ifstream file(std::string(TW_POLICY_DIR) + "/tickwell.admx", std::ios::binary);
    ASSERT_TRUE(file) << "no tickwell.admx in " << TW_POLICY_DIR;
    std::stringstream text;
    text << file.rdbuf();
    const std::map<std::string, PolicyValue> policies = policyValues(text.str());

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

} // namespace
} // namespace tickwell::service
