// The options dialog's rules without windows: what the pages show for the
// settings, what Apply stores or refuses; the server list's matching and the
// Add-server decision; the chooser's confirmed icon.
#include "options_rules.h"
#include "program_ids.h"
#include "server_list.h"
#include "settings_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tickwell {
namespace {

// Apply right after opening: the controls as the pages show them.
OptionsInput asShown(const OptionsView& view) {
    OptionsInput input{view.checked, view.texts, view.numbers, {}};
    if (view.serverSelection >= 0)
        input.shownServer = view.servers[static_cast<size_t>(view.serverSelection)];
    return input;
}

// The options of one group as a click leaves them: `option` checked, or none.
void choose(OptionsInput& input, const std::vector<int>& group, int option) {
    for (int id : group)
        input.checked[id] = id == option;
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
        const std::string which = std::to_string(c.tray) + std::to_string(c.rotate);
        EXPECT_EQ(view.checked.at(IDC_ROTATE_ICONS), c.rotateShown) << which;
        EXPECT_EQ(view.enabled.at(IDC_ROTATE_ICONS), c.rotateEnabled) << which;
        EXPECT_EQ(view.enabled.at(IDC_CHOOSE_TRAY_ICON), c.chooserEnabled) << which;
        EXPECT_FALSE(view.enabled.at(IDC_SHOW_SPLASH)) << which;
        // Stored as shown by an Apply, not before it.
        EXPECT_EQ(planApply(s, asShown(view)).settings.rotateIconsInSysTray, c.rotateShown ? 1 : 0)
            << which;
    }
}

// Samples are taken by NTP only: the list follows the port as typed, not its prefix.
TEST(OptionsRules, SamplesPerServerOnlyWithTheNtpPort) {
    const struct {
        const char* port;
        bool enabled;
    } cases[] = {{"123", true}, {" 123 ", true}, {"13", false}, {"1230", false}};
    for (const auto& c : cases)
        EXPECT_EQ(enablingFor({}, c.port).at(IDC_SAMPLES_PER_SERVER), c.enabled) << c.port;
    Settings s;
    s.timePort = 123;
    EXPECT_TRUE(initialView(s).enabled.at(IDC_SAMPLES_PER_SERVER));
}

// Each list shows its own count and stores the one chosen; with nothing chosen
// (or a number it does not offer) the count in force stays.
TEST(OptionsRules, DropListsShowAndStoreTheirCounts) {
    const struct {
        int id;
        int Settings::*field;
        int inForce, chosen, stored;
    } cases[] = {
        {IDC_SERVERS_TO_ASK, &Settings::serversToAsk, 2, 3, 3},
        {IDC_SERVERS_TO_ASK, &Settings::serversToAsk, 5, 0, 5},
        {IDC_SAMPLES_PER_SERVER, &Settings::samplesPerServer, 2, 8, 8},
        {IDC_SAMPLES_PER_SERVER, &Settings::samplesPerServer, 4, 9, 4},
    };
    for (const auto& c : cases) {
        Settings s;
        s.*c.field = c.inForce;
        const OptionsView view = initialView(s);
        const std::string which = std::to_string(c.id) + "/" + std::to_string(c.chosen);
        EXPECT_EQ(view.numbers.at(c.id), c.inForce) << which;
        OptionsInput input = asShown(view);
        input.numbers[c.id] = c.chosen;
        Settings expected = s;
        expected.*c.field = c.stored;
        const Settings applied = planApply(s, input).settings;
        EXPECT_EQ(applied.serversToAsk, expected.serversToAsk) << which;
        EXPECT_EQ(applied.samplesPerServer, expected.samplesPerServer) << which;
    }
}

TEST(OptionsRules, AutoSetShowsItsIntervalOrTwelveHours) {
    const struct {
        int minutes, option;
    } intervals[] = {
        {30, IDC_INTERVAL_30},       {60, IDC_INTERVAL_60},       {360, IDC_INTERVAL_360},
        {720, IDC_INTERVAL_720},     {1440, IDC_INTERVAL_1440},   {10080, IDC_INTERVAL_10080},
        {20160, IDC_INTERVAL_20160}, {43200, IDC_INTERVAL_43200}, {90, IDC_INTERVAL_720},
    };
    for (int autoSet : {0, 1}) {
        for (const auto& interval : intervals) {
            Settings s;
            s.autoSetTime = autoSet;
            s.interval = interval.minutes;
            const OptionsView view = initialView(s);
            const std::string which = std::to_string(autoSet) + "/" + std::to_string(s.interval);
            EXPECT_EQ(view.checked.at(IDC_AUTOSET_NONE), autoSet == 0) << which;
            EXPECT_EQ(view.enabled.at(IDC_CONNECTION_RETRY), autoSet != 0) << which;
            for (int id = IDC_INTERVAL_30; id <= IDC_INTERVAL_43200; ++id) {
                EXPECT_EQ(view.checked.at(id), autoSet != 0 && id == interval.option) << which;
                EXPECT_EQ(view.enabled.at(id), autoSet != 0) << which;
            }
            // Applied: 12 hours replaces an unnamed interval only with auto-set on.
            const ApplyOutcome applied = planApply(s, asShown(view));
            EXPECT_EQ(applied.settings.interval,
                      autoSet != 0 && interval.minutes == 90 ? 720 : interval.minutes)
                << which;
            EXPECT_EQ(applied.nextCheckDue, autoSet != 0) << which;
        }
    }
}

TEST(OptionsRules, ApplyStoresTheOptionOfEachGroup) {
    const std::vector<int> nist = {IDC_NIST_RAW, IDC_NIST_GMT, IDC_NIST_LOCAL};
    const std::vector<int> local = {IDC_LOCAL_GMT, IDC_LOCAL_LOCAL};
    const std::vector<int> style = {IDC_STYLE_LONG, IDC_STYLE_24H};
    const std::vector<int> intervals = {IDC_INTERVAL_30,    IDC_INTERVAL_60,   IDC_INTERVAL_360,
                                        IDC_INTERVAL_720,   IDC_INTERVAL_1440, IDC_INTERVAL_10080,
                                        IDC_INTERVAL_20160, IDC_INTERVAL_43200};
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
        {intervals, IDC_INTERVAL_30, &Settings::interval, 720, 30}, // the rest: in AutoSet...
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
    // With "None" checked the interval chosen before it is not stored; a style
    // brings its pictures.
    Settings s;
    OptionsInput input = asShown(initialView(s));
    choose(input, intervals, IDC_INTERVAL_30);
    choose(input, style, IDC_STYLE_24H);
    const Settings applied = planApply(s, input).settings;
    EXPECT_EQ(applied.interval, 720);
    EXPECT_EQ(applied.datePicture + "|" + applied.timePicture, "dd MMMM yyyy|HH:mm:ss");
}

// Each box reaches the setting stored under its own key: named as the file
// names it, so a box wired to the wrong setting shows here.
TEST(OptionsRules, EachBoxStoresItsOwnSetting) {
    const std::pair<int, const char*> boxes[] = {
        {IDC_SHOW_STATUSBAR, "Show Status bar"},
        {IDC_USE_SOUNDS, "Use Sounds"},
        {IDC_STAY_ON_TOP, "Stay on top"},
        {IDC_RUN_IN_TRAY, "Run in System Tray"},
        {IDC_LOG_EVENTS, "Log events"},
        {IDC_START_WITH_WINDOWS, "Start with Windows"},
        {IDC_ROTATE_ICONS, "Rotate Icons in SysTray"},
        {IDC_USE_PROXY, "Use Proxy Server"},
        {IDC_CONNECTION_RETRY, "Connection Retry"},
        {IDC_WAIT_FOR_CONNECTION, "Wait for connection"},
        {IDC_AUTOSET_NONE, "Auto-set time"}, // checked is auto-set off
    };
    Settings s;
    s.runInSystemTray = 1;
    const OptionsInput opened = asShown(initialView(s));
    const Settings unchanged = planApply(s, opened).settings;
    for (const auto& [id, key] : boxes) {
        const auto stored = std::ranges::find_if(
            settingKeys(), [key](const SettingKey& k) { return std::string(k.name) == key; });
        ASSERT_NE(stored, settingKeys().end()) << key;
        ASSERT_NE(stored->boolField, nullptr) << key;
        OptionsInput input = opened;
        input.checked[id] = !input.checked[id];
        Settings expected = unchanged;
        expected.*stored->boolField = !(expected.*stored->boolField);
        EXPECT_EQ(planApply(s, input).settings, expected) << key;
    }
}

TEST(OptionsRules, TheCaFileIsShownAndStoredWithoutBlanksAround) {
    Settings s;
    s.ntsCaFile = "C:\\certs\\ca.pem";
    OptionsInput input = asShown(initialView(s));
    EXPECT_EQ(input.texts[IDC_NTS_CA_FILE], s.ntsCaFile);
    input.texts[IDC_NTS_CA_FILE] = "  D:\\private CA.pem \t";
    EXPECT_EQ(planApply(s, input).settings.ntsCaFile, "D:\\private CA.pem");
    input.texts[IDC_NTS_CA_FILE] = " ";
    EXPECT_EQ(planApply(s, input).settings.ntsCaFile, ""); // the Windows store again
}

TEST(OptionsRules, NumbersOutsideTheirRangeAreRefusedAndPutBack) {
    const std::string port = "Time Port must be a whole number from 1 to 65535.";
    const std::string timeout = "Network Timeout must be a whole number of seconds from 1 to 3600.";
    const std::string proxy = "Proxy Port must be a whole number from 1 to 65535.";
    const std::string limit =
        "Maximum automatic change must be a whole number of seconds, 0 or more (0: no limit).";
    int Settings::*const portField = &Settings::timePort;
    int Settings::*const timeoutField = &Settings::networkTimeout;
    int Settings::*const proxyField = &Settings::proxyPort;
    int Settings::*const limitField = &Settings::maximumAutomaticChange;
    const struct {
        int field;
        int Settings::*setting;
        const char* text;
        bool proxyOn;
        std::string refusal; // empty: accepted, and `stored`
        int stored;
    } cases[] = {
        {IDC_TIME_PORT, portField, "123", false, "", 123}, // NTP
        {IDC_TIME_PORT, portField, "0", false, port, 0},
        {IDC_TIME_PORT, portField, "65536", false, port, 0},
        {IDC_TIME_PORT, portField, "37x", false, port, 0},
        {IDC_TIME_PORT, portField, "-37", false, port, 0},
        {IDC_TIME_PORT, portField, "", false, port, 0},
        {IDC_TIME_PORT, portField, " 37 ", false, "", 37},
        {IDC_TIMEOUT, timeoutField, "3601", false, timeout, 0},
        {IDC_TIMEOUT, timeoutField, "1.5", false, timeout, 0},
        {IDC_TIMEOUT, timeoutField, "1", false, "", 1},
        {IDC_PROXY_PORT, proxyField, "0", true, proxy, 0},
        {IDC_PROXY_PORT, proxyField, "3128", true, "", 3128},
        {IDC_PROXY_PORT, proxyField, "http", false, "", 80}, // unused: the port in force stays
        {IDC_MAXIMUM_CHANGE, limitField, "0", false, "", 0}, // no limit
        {IDC_MAXIMUM_CHANGE, limitField, "600", false, "", 600},
        {IDC_MAXIMUM_CHANGE, limitField, "-1", false, limit, 0},
        {IDC_MAXIMUM_CHANGE, limitField, "abc", false, limit, 0},
        {IDC_MAXIMUM_CHANGE, limitField, "", false, limit, 0},
    };
    for (const auto& c : cases) {
        Settings s; // port 13, time-out 30, proxy port 80, limit 54000
        s.useProxyServer = c.proxyOn ? 1 : 0;
        OptionsInput input = asShown(initialView(s));
        input.texts[c.field] = c.text;
        input.checked[IDC_STAY_ON_TOP] = true; // not applied with a refusal
        const ApplyOutcome outcome = planApply(s, input);
        const std::string which = std::to_string(c.field) + " \"" + c.text + "\"";
        if (!c.refusal.empty()) {
            ASSERT_TRUE(outcome.refusal) << which;
            EXPECT_EQ(outcome.refusal->field, c.field) << which;
            EXPECT_EQ(outcome.refusal->message, c.refusal) << which;
            EXPECT_EQ(outcome.refusal->restoredText, std::to_string(s.*c.setting)) << which;
            continue;
        }
        ASSERT_FALSE(outcome.refusal) << which << ": " << outcome.refusal->message;
        EXPECT_EQ(outcome.settings.*c.setting, c.stored) << which;
        EXPECT_EQ(outcome.settings.stayOnTop, 1) << which;
    }
}

TEST(ServerList, TheCurrentServerIsFoundByItsCleanedNameAndKeptWithoutOne) {
    Settings s;
    for (const char* server : {"time-a.example", "  time-b.example (campus)",
                               "time-c.example(backup)", "time-a.example",
                               "nts://time-a.example:4460 (authenticated)"})
        s.serverList[++s.serverCount] = server;
    const struct {
        const char* current;
        int position;
    } cases[] = {
        {"time-a.example", 0}, {"  time-b.example (campus)", 1}, // as chosen from the list
        {"time-b.example", 1},                                   // as a query leaves it
        {"time-c.example", 2}, {"time-d.example", -1},           {"   ", -1}, {"time", -1},
        // NTS at the same host is another server: the scheme and port are kept.
        {"nts://time-a.example:4460", 4}, {"nts://time-a.example", -1},
    };
    for (const auto& c : cases) {
        s.currentServer = c.current;
        const OptionsView view = initialView(s);
        EXPECT_EQ(view.serverSelection, c.position) << '"' << c.current << '"';
        // Apply stores the entry shown, or keeps the server in force when none is.
        EXPECT_EQ(planApply(s, asShown(view)).settings.currentServer,
                  c.position < 0 ? c.current : s.serverList[c.position + 1]);
    }
}

TEST(ServerList, AddTakesTheTrimmedNameElseTheAddress) {
    using Kind = AddServerDecision::Kind;
    const struct {
        int count;
        const char* name;
        uint32_t address;
        Kind kind;
        const char* added;
    } cases[] = {
        {13, "  time.example \t", (10u << 24) | 1u, Kind::Add, "time.example"}, // the name wins
        {13, "", (10u << 24) | 1u, Kind::Add, "10.0.0.1"},
        {13, "   ", 0xC0A80A0Bu, Kind::Add, "192.168.10.11"},
        {13, " \t ", 0, Kind::NothingEntered, ""}, // 0.0.0.0 is no server
        {13, " nts://[2001:db8::123]:4460\t", 0, Kind::Add, "nts://[2001:db8::123]:4460"},
        {24, "last.example", 0, Kind::Add, "last.example"},
        {25, "one.too.many", 0, Kind::ListFull, ""},
    };
    for (const auto& c : cases) {
        const AddServerDecision decision = decideAddServer(c.count, c.name, c.address);
        EXPECT_EQ(decision.kind, c.kind) << '"' << c.name << '"';
        EXPECT_EQ(decision.name, c.added) << '"' << c.name << '"';
    }
    Settings s;
    s.serverList[1] = "a.example";
    s.serverCount = 1;
    appendServer(s, "b.example");
    EXPECT_EQ(s.serverCount, 2);
    EXPECT_EQ(s.serverList[2] + "|" + s.currentServer, "b.example|b.example");
}

TEST(TrayIconChooser, OkKeepsTheIconInForceUntilOneIsClicked) {
    const struct { int pending, inForce, confirmed; } cases[] = {{0, 4, 4}, {7, 4, 7}, {12, 0, 12}};
    for (const auto& c : cases)
        EXPECT_EQ(confirmedTrayIcon(c.pending, c.inForce), c.confirmed) << c.pending;
}

} // namespace
} // namespace tickwell
