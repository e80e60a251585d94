// What a client may ask, how often, and the service's own schedule.
#include "request_rules.h"
#include "service_schedule.h"

#include <gtest/gtest.h>

#include <string>

namespace tickwell::service {
namespace {

TEST(RequestRules, ServerAllowedByCleanedNameOrByTheMachine) {
    MachineSettings settings;
    settings.servers = {"time.example", "Other.Example(note)", "nts://ntp.example:4460"};
    const struct {
        const char* server;
        bool allowUsers, allowed;
    } cases[] = {
        {"", false, true},
        {"time.example", false, true},
        {"TIME.example (backup)", false, true},
        {"other.example", false, true},
        {"time.example.evil", false, false},
        {"(time.example)", false, false},
        {"evil.example", false, false},
        {"evil.example", true, true},
        {"NTS://ntp.example:4460", false, true},
        // Not the listed NTS server: asked without authentication, or elsewhere.
        {"ntp.example", false, false},
        {"nts://ntp.example:4461", false, false},
        {"nts://time.example", false, false},
        {"nts://evil.example", true, true},
    };
    for (const auto& c : cases) {
        settings.allowUsersServers = c.allowUsers;
        EXPECT_EQ(serverAllowed(settings, c.server), c.allowed) << c.server << c.allowUsers;
    }
    EXPECT_NE(serverNotAllowedText("evil.example").find("\"evil.example\""), std::string::npos);
}

// Six starts in any minute, counted from each start, refusals not counted.
TEST(RequestRules, SetsLimitedInASlidingMinute) {
    SetRateLimit limit;
    const struct {
        uint64_t at;
        bool allowed;
    } steps[] = {
        {1000, true},   {2000, true},    {3000, true},   {4000, true},   {5000, true},
        {6000, true},   {6500, false},   {60999, false}, {61000, true},  {61001, false},
        {62000, true},  {62500, false},  {120000, true}, {120001, true}, {120002, true},
        {120003, true}, {120004, false},
    };
    for (const auto& s : steps)
        EXPECT_EQ(limit.allow(s.at), s.allowed) << s.at;
    EXPECT_NE(limit.refusalText(120004).find("in 1 second"), std::string::npos);

    SetRateLimit fresh;
    for (uint64_t at = 0; at < 6; ++at)
        fresh.allow(at);
    EXPECT_NE(fresh.refusalText(500).find("in 60 seconds"), std::string::npos)
        << fresh.refusalText(500);
}

TEST(RequestRules, CourtesyWaitPerServerStretchedByRate) {
    ServerCourtesy courtesy;
    EXPECT_EQ(courtesy.waitMs("time.example", 5000), 0u);
    courtesy.asked("Time.Example (backup)", 10'000);
    EXPECT_EQ(courtesy.waitMs("time.example", 10'000), kCourtesyMs);
    EXPECT_EQ(courtesy.waitMs("time.example", 12'500), kCourtesyMs - 2'500);
    EXPECT_EQ(courtesy.waitMs("time.example", 10'000 + kCourtesyMs), 0u);
    EXPECT_EQ(courtesy.waitMs("other.example", 10'000), 0u);
    const std::string text = courtesy.refusalText("time.example", 12'500);
    EXPECT_NE(text.find("\"time.example\""), std::string::npos) << text;
    EXPECT_NE(text.find("in 2 seconds"), std::string::npos) << text;

    courtesy.askedLessOften("time.example");
    EXPECT_EQ(courtesy.waitMs("time.example", 10'000), 2 * kCourtesyMs);
    for (int i = 0; i < 20; ++i)
        courtesy.askedLessOften("time.example");
    EXPECT_EQ(courtesy.waitMs("time.example", 10'000), kLongestCourtesyMs);

    // A kiss before the ask is noted makes no server wait that was never asked.
    courtesy.askedLessOften("early.example");
    EXPECT_EQ(courtesy.waitMs("early.example", 1'000), 0u);
}

TEST(ServiceSchedule, NextSetAfterEachOutcome) {
    constexpr uint64_t kMinute = 60'000;
    const struct {
        int32_t intervalMinutes;
        SetOutcome outcome;
        uint64_t wait;
    } cases[] = {
        {720, SetOutcome::Set, 720 * kMinute}, {720, SetOutcome::RefusedByLimit, 720 * kMinute},
        {720, SetOutcome::Failed, kRetryMs},   {2, SetOutcome::Failed, 2 * kMinute},
        {0, SetOutcome::Set, kMinute},         {-5, SetOutcome::Failed, kMinute},
    };
    for (const auto& c : cases) {
        ServiceSchedule schedule(c.intervalMinutes, 1'000);
        EXPECT_FALSE(schedule.due(1'000 + kFirstSetMs - 1));
        EXPECT_EQ(schedule.untilNextMs(1'000), kFirstSetMs);
        ASSERT_TRUE(schedule.due(1'000 + kFirstSetMs));
        schedule.finished(c.outcome, 100'000);
        EXPECT_EQ(schedule.untilNextMs(100'000), c.wait) << c.intervalMinutes;
        EXPECT_EQ(schedule.untilNextMs(100'000 + c.wait), 0u);
    }
}

TEST(ServiceSchedule, NewIntervalOnlyBringsTheNextSetNearer) {
    constexpr uint64_t kMinute = 60'000;
    const struct {
        int32_t newMinutes;
        uint64_t changedAt, nextAt;
    } cases[] = {
        {1440, 10 * kMinute, 60 * kMinute},
        {10, 10 * kMinute, 20 * kMinute},
        {10, 55 * kMinute, 60 * kMinute},
        {0, 10 * kMinute, 11 * kMinute},
    };
    for (const auto& c : cases) {
        ServiceSchedule schedule(60, 0);
        schedule.finished(SetOutcome::Set, 0);
        schedule.setInterval(c.newMinutes, c.changedAt);
        EXPECT_EQ(schedule.untilNextMs(c.changedAt), c.nextAt - c.changedAt) << c.newMinutes;
    }
}

} // namespace
} // namespace tickwell::service
