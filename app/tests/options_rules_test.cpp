// The options dialog's rules without windows: what the pages show for the
// settings, what a box enables, what Apply stores or refuses; the server list's
// matching and the Add-server decision; the chooser's confirmed icon.
#include "options_rules.h"
#include "program_ids.h"
#include "server_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickwell {
namespace {

// Apply right after opening: the controls exactly as the pages show them.
OptionsInput asShown(const OptionsView& view) {
    OptionsInput input{view.checked, view.texts, {}};
    if (view.serverSelection >= 0)
        input.shownServer = view.servers[static_cast<size_t>(view.serverSelection)];
    return input;
}

Settings withServers(std::initializer_list<const char*> servers, const char* current) {
    Settings s;
    for (const char* server : servers)
        s.serverList[++s.serverCount] = server;
    s.currentServer = current;
    return s;
}

TEST(OptionsRules, TrayAndRotationDecideTheChooser) {
    const struct {
        int tray, rotate;
        bool rotateShown, rotateEnabled, chooserEnabled;
    } cases[] = {
        {0, 0, false, false, false},
        {0, 1, false, false, false}, // rotation shown off: it only rotates the tray icon
        {1, 0, false, true, true},
        {1, 1, true, true, false},
    };
    for (const auto& c : cases) {
        Settings s;
        s.runInSystemTray = c.tray;
        s.rotateIconsInSysTray = c.rotate;
        const OptionsView view = initialView(s);
        const std::string which =
            "tray " + std::to_string(c.tray) + " rotate " + std::to_string(c.rotate);
        EXPECT_EQ(view.checked.at(IDC_RUN_IN_TRAY), c.tray != 0) << which;
        EXPECT_EQ(view.checked.at(IDC_ROTATE_ICONS), c.rotateShown) << which;
        EXPECT_EQ(view.enabled.at(IDC_ROTATE_ICONS), c.rotateEnabled) << which;
        EXPECT_EQ(view.enabled.at(IDC_CHOOSE_TRAY_ICON), c.chooserEnabled) << which;
        EXPECT_FALSE(view.enabled.at(IDC_SHOW_SPLASH)) << which;
        // Opened and applied at once: rotation is stored as shown.
        EXPECT_EQ(planApply(s, asShown(view)).settings.rotateIconsInSysTray, c.rotateShown ? 1 : 0)
            << which;
    }
}

TEST(OptionsRules, AutoSetShowsItsIntervalOrTwelveHours) {
    const struct {
        int minutes, option;
    } intervals[] = {
        {30, IDC_INTERVAL_30},       {60, IDC_INTERVAL_60},       {360, IDC_INTERVAL_360},
        {720, IDC_INTERVAL_720},     {1440, IDC_INTERVAL_1440},   {10080, IDC_INTERVAL_10080},
        {20160, IDC_INTERVAL_20160}, {43200, IDC_INTERVAL_43200}, {90, IDC_INTERVAL_720},
        {0, IDC_INTERVAL_720},
    };
    for (int autoSet : {0, 1}) {
        for (const auto& interval : intervals) {
            Settings s;
            s.autoSetTime = autoSet;
            s.interval = interval.minutes;
            const OptionsView view = initialView(s);
            const std::string which =
                "auto-set " + std::to_string(autoSet) + ", " + std::to_string(interval.minutes);
            EXPECT_EQ(view.checked.at(IDC_AUTOSET_NONE), autoSet == 0) << which;
            EXPECT_EQ(view.enabled.at(IDC_CONNECTION_RETRY), autoSet != 0) << which;
            for (int id = IDC_INTERVAL_30; id <= IDC_INTERVAL_43200; ++id) {
                EXPECT_EQ(view.checked.at(id), autoSet != 0 && id == interval.option)
                    << which << " option " << id;
                EXPECT_EQ(view.enabled.at(id), autoSet != 0) << which << " option " << id;
            }
            // Applied at once: an interval no option names becomes 12 hours, and only
            // with auto-set on; off, it stays and the next check does not move.
            const ApplyOutcome applied = planApply(s, asShown(view));
            const int stored =
                autoSet != 0 && interval.option == IDC_INTERVAL_720 ? 720 : interval.minutes;
            EXPECT_EQ(applied.settings.interval, stored) << which;
            EXPECT_EQ(applied.nextCheckDue, autoSet != 0) << which;
        }
    }
}

// The options of one group, as a click leaves them: the one checked, or none.
void choose(OptionsInput& input, const std::vector<int>& group, int option) {
    for (int id : group)
        input.checked[id] = id == option;
}

TEST(OptionsRules, ApplyStoresTheOptionOfEachGroup) {
    const std::vector<int> nist = {IDC_NIST_RAW, IDC_NIST_GMT, IDC_NIST_LOCAL};
    const std::vector<int> local = {IDC_LOCAL_GMT, IDC_LOCAL_LOCAL};
    const std::vector<int> style = {IDC_STYLE_LONG, IDC_STYLE_24H};
    std::vector<int> intervals;
    for (int id = IDC_INTERVAL_30; id <= IDC_INTERVAL_43200; ++id)
        intervals.push_back(id);
    const struct {
        const std::vector<int>& group;
        int option; // 0: none checked
        int Settings::*field;
        int before, after;
    } cases[] = {
        {nist, IDC_NIST_RAW, &Settings::displayNistTime, 0, 2},
        {nist, IDC_NIST_GMT, &Settings::displayNistTime, 0, 1},
        {nist, IDC_NIST_LOCAL, &Settings::displayNistTime, 2, 0},
        {nist, 0, &Settings::displayNistTime, 3, 3}, // an unknown value stays
        {local, IDC_LOCAL_GMT, &Settings::displayLocalTime, 0, 1},
        {local, IDC_LOCAL_LOCAL, &Settings::displayLocalTime, 5, 0},
        {style, IDC_STYLE_LONG, &Settings::timeStyle, 1, 0},
        {style, IDC_STYLE_24H, &Settings::timeStyle, 0, 1},
        {intervals, IDC_INTERVAL_30, &Settings::interval, 720, 30},
        {intervals, IDC_INTERVAL_60, &Settings::interval, 720, 60},
        {intervals, IDC_INTERVAL_360, &Settings::interval, 720, 360},
        {intervals, IDC_INTERVAL_720, &Settings::interval, 30, 720},
        {intervals, IDC_INTERVAL_1440, &Settings::interval, 720, 1440},
        {intervals, IDC_INTERVAL_10080, &Settings::interval, 720, 10080},
        {intervals, IDC_INTERVAL_20160, &Settings::interval, 720, 20160},
        {intervals, IDC_INTERVAL_43200, &Settings::interval, 720, 43200},
        {intervals, 0, &Settings::interval, 90, 90},
    };
    for (const auto& c : cases) {
        Settings s;
        s.autoSetTime = 1;
        s.*c.field = c.before;
        OptionsInput input = asShown(initialView(s));
        choose(input, c.group, c.option);
        EXPECT_EQ(planApply(s, input).settings.*c.field, c.after) << "option " << c.option;
    }
    // Auto-set off: the interval chosen before "None" was checked is not stored.
    Settings s;
    s.autoSetTime = 1;
    OptionsInput input = asShown(initialView(s));
    choose(input, intervals, IDC_INTERVAL_30);
    input.checked[IDC_AUTOSET_NONE] = true;
    EXPECT_EQ(planApply(s, input).settings.interval, 720);
    // The style brings its pictures.
    choose(input, style, IDC_STYLE_24H);
    EXPECT_EQ(planApply(s, input).settings.timePicture, "HH:mm:ss");
    EXPECT_EQ(planApply(s, input).settings.datePicture, "dd MMMM yyyy");
}

TEST(OptionsRules, EachBoxStoresItsOwnSetting) {
    const struct {
        int id;
        int Settings::*field;
    } boxes[] = {
        {IDC_SHOW_STATUSBAR, &Settings::showStatusBar},
        {IDC_USE_SOUNDS, &Settings::useSounds},
        {IDC_STAY_ON_TOP, &Settings::stayOnTop},
        {IDC_RUN_IN_TRAY, &Settings::runInSystemTray},
        {IDC_LOG_EVENTS, &Settings::logEvents},
        {IDC_START_WITH_WINDOWS, &Settings::startWithWindows},
        {IDC_ROTATE_ICONS, &Settings::rotateIconsInSysTray},
        {IDC_USE_PROXY, &Settings::useProxyServer},
        {IDC_CONNECTION_RETRY, &Settings::connectionRetry},
        {IDC_WAIT_FOR_CONNECTION, &Settings::waitForConnection},
        {IDC_AUTOSET_NONE, &Settings::autoSetTime}, // checked is auto-set off
    };
    Settings s;
    s.runInSystemTray = 1;
    s.proxyPort = 8080;
    const OptionsInput opened = asShown(initialView(s));
    const Settings unchanged = planApply(s, opened).settings;
    for (const auto& box : boxes) {
        OptionsInput input = opened;
        input.checked[box.id] = !input.checked[box.id];
        Settings expected = unchanged;
        expected.*box.field = expected.*box.field != 0 ? 0 : 1;
        Settings applied = planApply(s, input).settings;
        // The next check and the pictures are not this test's business.
        applied.nextCheckText = expected.nextCheckText;
        EXPECT_EQ(applied, expected) << "box " << box.id;
    }
}

TEST(OptionsRules, NumbersOutsideTheirRangeAreRefusedAndPutBack) {
    const struct {
        int field;
        const char* text;
        bool proxyOn;
        const char* refusal; // empty: accepted
        int stored;
    } cases[] = {
        {IDC_TIME_PORT, "123", false, "NTP Time not yet supported", 0},
        {IDC_TIME_PORT, "0", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, "65536", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, "thirteen", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, "37x", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, "-37", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, "", false, "Time Port must be a whole number from 1 to 65535.", 0},
        {IDC_TIME_PORT, " 37 ", false, "", 37},
        {IDC_TIME_PORT, "65535", false, "", 65535},
        {IDC_TIMEOUT, "0", false,
         "Network Timeout must be a whole number of seconds from 1 to 3600.", 0},
        {IDC_TIMEOUT, "3601", false,
         "Network Timeout must be a whole number of seconds from 1 to 3600.", 0},
        {IDC_TIMEOUT, "1.5", false,
         "Network Timeout must be a whole number of seconds from 1 to 3600.", 0},
        {IDC_TIMEOUT, "3600", false, "", 3600},
        {IDC_PROXY_PORT, "0", true, "Proxy Port must be a whole number from 1 to 65535.", 0},
        {IDC_PROXY_PORT, "http", true, "Proxy Port must be a whole number from 1 to 65535.", 0},
        {IDC_PROXY_PORT, "3128", true, "", 3128},
        {IDC_PROXY_PORT, "0", false, "", 80}, // unused: the port in force stays
        {IDC_PROXY_PORT, "3128", false, "", 3128},
    };
    for (const auto& c : cases) {
        Settings s; // port 13, time-out 30, proxy port 80
        s.useProxyServer = c.proxyOn ? 1 : 0;
        OptionsInput input = asShown(initialView(s));
        input.texts[c.field] = c.text;
        input.checked[IDC_USE_PROXY] = c.proxyOn;
        input.checked[IDC_STAY_ON_TOP] = true; // a change that a refusal must not apply
        const ApplyOutcome outcome = planApply(s, input);
        const std::string which = std::to_string(c.field) + " \"" + c.text + "\"";
        if (*c.refusal == '\0') {
            ASSERT_FALSE(outcome.refusal) << which << ": " << outcome.refusal->message;
            const Settings& a = outcome.settings;
            const int stored = c.field == IDC_TIME_PORT ? a.timePort
                               : c.field == IDC_TIMEOUT ? a.networkTimeout
                                                        : a.proxyPort;
            EXPECT_EQ(stored, c.stored) << which;
            EXPECT_EQ(a.stayOnTop, 1) << which;
            continue;
        }
        ASSERT_TRUE(outcome.refusal) << which;
        EXPECT_EQ(outcome.refusal->field, c.field) << which;
        EXPECT_EQ(outcome.refusal->message, c.refusal) << which;
        const int inForce = c.field == IDC_TIME_PORT ? 13 : c.field == IDC_TIMEOUT ? 30 : 80;
        EXPECT_EQ(outcome.refusal->restoredText, std::to_string(inForce)) << which;
    }
}

TEST(ServerList, TheCurrentServerIsFoundByItsCleanedName) {
    const Settings s = withServers(
        {"time-a.example", "  time-b.example (campus)", "time-c.example(backup)", "time-a.example"},
        "");
    const struct {
        const char* current;
        int position;
    } cases[] = {
        {"time-a.example", 0}, {"  time-b.example (campus)", 1}, // as chosen from the list
        {"time-b.example", 1},                                   // as the query leaves it
        {"time-c.example", 2}, {"time-d.example", -1},           {"", -1}, {"   ", -1},
        {"time", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(serverPosition(s, c.current), c.position) << '"' << c.current << '"';
    // Slots past the filled ones are not offered.
    Settings shorter = s;
    shorter.serverCount = 2;
    EXPECT_EQ(serverPosition(shorter, "time-c.example"), -1);
}

TEST(ServerList, ApplyKeepsTheCurrentServerWhenNothingIsSelected) {
    Settings s = withServers({"time-a.example", "time-b.example (campus)"}, "time-b.example");
    const OptionsView view = initialView(s);
    EXPECT_EQ(view.serverSelection, 1);
    EXPECT_EQ(planApply(s, asShown(view)).settings.currentServer, "time-b.example (campus)");

    s.currentServer = "hand.edited.example";
    const OptionsView none = initialView(s);
    EXPECT_EQ(none.serverSelection, -1);
    EXPECT_EQ(planApply(s, asShown(none)).settings.currentServer, "hand.edited.example");
}

TEST(ServerList, AddTakesTheTrimmedNameElseTheAddress) {
    using Kind = AddServerDecision::Kind;
    const uint32_t tenDotOne = (10u << 24) | 1u;
    const struct {
        int count;
        const char* name;
        uint32_t address;
        Kind kind;
        const char* added;
    } cases[] = {
        {13, "time.example", 0, Kind::Add, "time.example"},
        {13, "  time.example \t", tenDotOne, Kind::Add, "time.example"}, // the name wins
        {13, "", tenDotOne, Kind::Add, "10.0.0.1"},
        {13, "   ", 0xC0A80A0Bu, Kind::Add, "192.168.10.11"},
        {13, "", 0xFFFFFFFFu, Kind::Add, "255.255.255.255"},
        {13, "", 0, Kind::NothingEntered, ""},
        {13, " \t ", 0, Kind::NothingEntered, ""},
        {24, "last.example", 0, Kind::Add, "last.example"},
        {25, "one.too.many", 0, Kind::ListFull, ""},
    };
    for (const auto& c : cases) {
        const AddServerDecision decision = decideAddServer(c.count, c.name, c.address);
        EXPECT_EQ(decision.kind, c.kind) << '"' << c.name << '"';
        EXPECT_EQ(decision.name, c.added) << '"' << c.name << '"';
    }
    Settings s = withServers({"a.example", "b.example"}, "a.example");
    appendServer(s, "c.example");
    EXPECT_EQ(s.serverCount, 3);
    EXPECT_EQ(s.serverList[3], "c.example");
    EXPECT_EQ(s.currentServer, "c.example");
    EXPECT_EQ(initialView(s).serverSelection, 2);
}

TEST(TrayIconChooser, OkKeepsTheIconInForceUntilOneIsClicked) {
    const struct {
        int pending, inForce, confirmed;
    } cases[] = {{0, 4, 4}, {7, 4, 7}, {12, 0, 12}, {0, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(confirmedTrayIcon(c.pending, c.inForce), c.confirmed)
            << c.pending << " over " << c.inForce;
}

} // namespace
} // namespace tickwell
