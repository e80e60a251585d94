// The settings file: first start, reading back, the server list, encodings,
// the writes of the options dialog and of shutdown.
#include <gtest/gtest.h>

#include "library_calls.h"
#include "nts_ca_file.h"
#include "settings_codec.h"
#include "settings_store.h"
#include "settings_table.h"
#include "tw/bstr.h"
#include "tw/handles.h"
#include "tw/temp_folder.h"
#include "zymdate.h"

#include <array>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

namespace tickwell {
namespace {

using tw::testing::readFile;
using tw::testing::TempFolder;

// What the INI file holds, read with the system's own calls (not through zym).
std::string iniValue(const std::string& file, const char* section, const std::string& key) {
    char buffer[4096];
    ::GetPrivateProfileStringA(section, key.c_str(), "<missing>", buffer, sizeof(buffer),
                               file.c_str());
    return buffer;
}

std::vector<std::string> iniKeys(const std::string& file, const char* section) {
    std::vector<char> buffer(65536);
    const DWORD n = ::GetPrivateProfileStringA(section, nullptr, "", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::string> keys;
    for (DWORD i = 0; i < n;) {
        std::string key(&buffer[i]);
        i += static_cast<DWORD>(key.size()) + 1;
        if (!key.empty())
            keys.push_back(key);
    }
    return keys;
}

// Writes section, key and value triples into the settings file, as a user's
// editor would leave them.
void writeKeys(const std::string& ini, std::initializer_list<std::array<const char*, 3>> keys) {
    for (const auto& [section, key, value] : keys)
        ::WritePrivateProfileStringA(section, key, value, ini.c_str());
}

TEST(SettingsCodec, IntegersReadLikeTheFileWasHandEdited) {
    struct Case {
        const char* stored;
        int value;
    } cases[] = {
        {"720", 720}, {"2.5", 2},  {"3.5", 4}, {"-2.5", -2}, {"  42abc", 42},
        {"abc", 0},   {"", 0},     {"-1", -1}, {"+7", 7},    {"1e3", 1000},
        {"12e", 12},  {".5", 0},   {"1.5", 2}, {"0.51", 1},  {"99999999999", 2147483647},
        {"-", 0},     {"\t 5", 5}, {"5 6", 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeInt(c.stored), c.value) << '"' << c.stored << '"';
}

TEST(SettingsCodec, TrayIconRotation) {
    struct Case {
        int stored, next;
    } cases[] = {{1, 2},   {3, 4},  {8, 9},  {9, 1}, {10, 11},
                 {13, 14}, {14, 1}, {40, 1}, {0, 1}, {-5, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(rotatedTrayIcon(c.stored), c.next) << c.stored;
}

TEST(SettingsCodec, RunEntryQuotesAPathWithBlanks) {
    EXPECT_EQ(runEntryCommand("C:\\Tools\\tickwell.exe"), "C:\\Tools\\tickwell.exe -minimize");
    EXPECT_EQ(runEntryCommand("C:\\Program Files\\Tickwell\\tickwell.exe"),
              "\"C:\\Program Files\\Tickwell\\tickwell.exe\" -minimize");
}

TEST(SettingsCodec, PicturesFollowTheTimeStyle) {
    EXPECT_EQ(picturesForStyle(0).date, "dddd',' MMMM dd',' yyyy");
    EXPECT_EQ(picturesForStyle(0).time, "hh:mm:ss tt");
    for (int style : {1, 5, -1}) {
        EXPECT_EQ(picturesForStyle(style).date, "dd MMMM yyyy") << style;
        EXPECT_EQ(picturesForStyle(style).time, "HH:mm:ss") << style;
    }
}

// A relative CA file is found beside the settings, not in the working folder
// (system32 for a program that starts with Windows); one that names its place
// is taken as it is.
TEST(SettingsCodec, NtsCaFileIsTakenFromTheSettingsFolderUnlessRooted) {
    const struct {
        const char* setting;
        const char* path;
    } cases[] = {
        {"", ""},
        {" \t ", ""},
        {"ca.pem", "C:\\Users\\u\\Tickwell\\ca.pem"},
        {" certs\\ca.pem ", "C:\\Users\\u\\Tickwell\\certs\\ca.pem"},
        {"D:\\certs\\ca.pem", "D:\\certs\\ca.pem"},
        {"\\certs\\ca.pem", "\\certs\\ca.pem"},
        {"\\\\server\\share\\ca.pem", "\\\\server\\share\\ca.pem"},
        {"Z:/tmp/ca.pem", "Z:/tmp/ca.pem"},
    };
    Settings s;
    s.iniPath = "C:\\Users\\u\\Tickwell\\Tickwell.ini";
    for (const auto& c : cases) {
        s.ntsCaFile = c.setting;
        EXPECT_EQ(ntsCaFilePath(s), c.path) << '"' << c.setting << '"';
    }
}

const char* const kSaveKeysGeneral[] = {"Show Splash Screen", "Show Status bar",
                                        "Use Sounds",         "Stay on top",
                                        "Run in System Tray", "Log events",
                                        "Auto-set time",      "Interval",
                                        "Start with Windows", "Rotate Icons in SysTray",
                                        "Maximum automatic change"};

TEST(SettingsFile, FirstStartWritesEveryDefaultAndTheServers) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    Settings s;
    LoadSettings(s, ini);

    const struct {
        const char* section;
        const char* key;
        const char* value;
    } expected[] = {
        {"General", "Show Splash Screen", "1"}, {"General", "Show Status bar", "1"},
        {"General", "Use Sounds", "1"},         {"General", "Stay on top", "0"},
        {"General", "Run in System Tray", "0"}, {"General", "Log events", "1"},
        {"General", "Auto-set time", "0"},      {"General", "Interval", "720"},
        {"General", "Start with Windows", "0"}, {"General", "Rotate Icons in SysTray", "1"},
        {"Network", "Time Port", "13"},         {"Network", "Network Timeout", "30"},
        {"Network", "Use Proxy Server", "0"},   {"Network", "Proxy Port", "80"},
        {"Network", "Connection Retry", "1"},   {"Network", "Wait for connection", "0"},
        {"Format", "Display NIST Time", "1"},   {"Format", "Display LOCAL Time", "0"},
        {"Format", "Time Style", "0"},          {"General", "Maximum automatic change", "54000"},
        {"Network", "Servers to ask", "1"},     {"Network", "Samples per server", "1"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(iniValue(ini, e.section, e.key), e.value) << e.key;
    EXPECT_EQ(iniValue(ini, "Network", "Proxy Server address"), "");
    // A new file lists the keys in the order they were written.
    EXPECT_EQ(iniKeys(ini, "General"),
              std::vector<std::string>(std::begin(kSaveKeysGeneral), std::end(kSaveKeysGeneral)));
    EXPECT_EQ(iniKeys(ini, "Network"),
              (std::vector<std::string>{"Time Port", "Network Timeout", "CurrentNISTServer",
                                        "Use Proxy Server", "Proxy Port", "Proxy Server address",
                                        "Connection Retry", "Wait for connection", "Servers to ask",
                                        "Samples per server", "NTS CA file"}));
    EXPECT_EQ(iniKeys(ini, "Format"),
              (std::vector<std::string>{"Display NIST Time", "Display LOCAL Time", "Time Style"}));
    EXPECT_EQ(iniKeys(ini, "TimeServers").size(), 14u);
    for (int n = 0; n <= 13; ++n)
        EXPECT_EQ(iniValue(ini, "TimeServers", serverKey(n)), kDefaultServers[n]);

    EXPECT_EQ(s.serverCount, 13);
    EXPECT_EQ(s.serverList[1], kDefaultServers[1]);
    EXPECT_EQ(s.serverList[13], kDefaultServers[13]);
    // The first save stored an empty current server; reading it back gives the
    // third entry, not the empty text.
    EXPECT_EQ(s.currentServer, "time.nist.gov");
    EXPECT_EQ(s.currentServer, s.serverList[3]);

    Settings again;
    LoadSettings(again, ini);
    EXPECT_EQ(again.serverCount, 13);
    EXPECT_EQ(again.currentServer, s.currentServer);
    EXPECT_EQ(again.interval, 720);
    EXPECT_EQ(again.timePort, 13);
    EXPECT_EQ(again.networkTimeout, 30);
}

TEST(SettingsFile, StoredValuesAreReadWithSplashForcedOn) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    writeKeys(ini, {{"General", "Show Splash Screen", "0"},
                    {"General", "Interval", "ten"},
                    {"General", "Time Next Checked", "12/7/2026 10:00:00"},
                    {"Network", "Time Port", "37"},
                    {"Network", "CurrentNISTServer", "my.server (note)"},
                    {"Format", "Time Style", "5"},
                    {"TimeServers", "Server1", "a.example"}});
    Settings s;
    LoadSettings(s, ini);
    EXPECT_EQ(s.showSplashScreen, 1);
    EXPECT_EQ(s.interval, 0);
    EXPECT_EQ(s.nextCheckText, "12/7/2026 10:00:00");
    EXPECT_EQ(s.timePort, 37);
    EXPECT_EQ(s.currentServer, "my.server (note)");
    EXPECT_EQ(s.datePicture, "dd MMMM yyyy");
    EXPECT_EQ(s.timePicture, "HH:mm:ss");
    EXPECT_EQ(s.serverCount, 1);
    SaveSettings(s);
    EXPECT_EQ(iniValue(ini, "General", "Show Splash Screen"), "1");
}

// The robust-time keys hold a bounded count or a limit: a number outside it,
// or no number at all, reads as the key's default rather than a wild request.
TEST(SettingsFile, RangedKeysReadOutOfRangeAsTheDefault) {
    const struct {
        const char* section;
        const char* key;
        const char* stored;
        int Settings::*field;
        int expected;
    } cases[] = {
        {"Network", "Servers to ask", "3", &Settings::serversToAsk, 3},
        {"Network", "Servers to ask", "5", &Settings::serversToAsk, 5},
        {"Network", "Servers to ask", "0", &Settings::serversToAsk, 1},
        {"Network", "Servers to ask", "6", &Settings::serversToAsk, 1},
        {"Network", "Servers to ask", "many", &Settings::serversToAsk, 1},
        {"Network", "Samples per server", "8", &Settings::samplesPerServer, 8},
        {"Network", "Samples per server", "9", &Settings::samplesPerServer, 1},
        {"Network", "Samples per server", "-2", &Settings::samplesPerServer, 1},
        {"General", "Maximum automatic change", "0", &Settings::maximumAutomaticChange, 0},
        {"General", "Maximum automatic change", "600", &Settings::maximumAutomaticChange, 600},
        {"General", "Maximum automatic change", "-1", &Settings::maximumAutomaticChange, 54000},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string ini = folder.file("Tickwell.ini");
        writeKeys(ini, {{c.section, c.key, c.stored}});
        Settings s;
        LoadSettings(s, ini);
        EXPECT_EQ(s.*c.field, c.expected) << c.key << " = " << c.stored;
    }
}

TEST(SettingsFile, ListWithAGapAtTheStartIsReplacedByTheDefaults) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    writeKeys(ini, {{"TimeServers", "Server0", "old0"}, {"TimeServers", "Server2", "old2"}});
    Settings s;
    LoadSettings(s, ini);
    EXPECT_EQ(iniValue(ini, "TimeServers", "Server0"), kDefaultServers[0]);
    EXPECT_EQ(iniValue(ini, "TimeServers", "Server2"), kDefaultServers[2]);
    EXPECT_EQ(s.serverCount, 13);
    EXPECT_EQ(s.serverList[2], kDefaultServers[2]);
}

TEST(SettingsFile, TwentyFiveServersAreAllReadAndNoMore) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    for (int n = 1; n <= 26; ++n)
        ::WritePrivateProfileStringA("TimeServers", serverKey(n).c_str(),
                                     ("host" + std::to_string(n)).c_str(), ini.c_str());
    Settings s;
    LoadSettings(s, ini);
    EXPECT_EQ(s.serverCount, 25);
    EXPECT_EQ(s.serverList[25], "host25");
    EXPECT_EQ(s.currentServer, "host3");
}

TEST(SettingsFile, TrayIconAdvancesOnlyWithTrayAndRotationOn) {
    struct Case {
        const char* tray;
        const char* rotate;
        const char* stored;
        int inMemory;
    } cases[] = {
        {"1", "1", "9", 1}, {"1", "1", "3", 4}, {"1", "1", "14", 1},
        {"1", "0", "3", 3}, {"0", "1", "3", 3},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string ini = folder.file("Tickwell.ini");
        ::WritePrivateProfileStringA("General", "Run in System Tray", c.tray, ini.c_str());
        ::WritePrivateProfileStringA("General", "Rotate Icons in SysTray", c.rotate, ini.c_str());
        ::WritePrivateProfileStringA("General", "Tray Icon", c.stored, ini.c_str());
        Settings s;
        LoadSettings(s, ini);
        EXPECT_EQ(s.trayIcon, c.inMemory) << c.tray << c.rotate << c.stored;
        // Not written at start: only at shutdown.
        EXPECT_EQ(iniValue(ini, "General", "Tray Icon"), c.stored);
    }
}

TEST(SettingsFile, UnwritableFolderEndsWithTheDefaultsInMemory) {
    Settings s;
    LoadSettings(s, "C:\\no-such-folder-for-tickwell\\deeper\\Tickwell.ini");
    EXPECT_EQ(s.serverCount, 13);
    EXPECT_EQ(s.serverList[1], kDefaultServers[1]);
    EXPECT_EQ(s.currentServer, "time.nist.gov");
    EXPECT_FALSE(SaveSettings(s));
    EXPECT_FALSE(writeShutdownSettings(s));
}

TEST(SettingsFile, UnwritableFileKeepsItsCurrentServerBesideTheDefaultList) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    ::WritePrivateProfileStringA("Network", "CurrentNISTServer", "mine.example", ini.c_str());
    // Open for reading and shared for reading only: the file can be read, not written.
    tw::unique_file lock(::CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    Settings s;
    LoadSettings(s, ini);
    EXPECT_EQ(s.serverCount, 13);
    EXPECT_EQ(s.serverList[3], kDefaultServers[3]);
    EXPECT_EQ(s.currentServer, "mine.example");
    lock.reset();
    EXPECT_TRUE(iniKeys(ini, "TimeServers").empty()) << "the file was written after all";
}

TEST(SettingsFile, SaveLeavesTrayIconNextCheckAndServersAlone) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    writeKeys(ini, {{"General", "Tray Icon", "7"},
                    {"General", "Time Next Checked", "sentinel"},
                    {"TimeServers", "Server1", "kept.example"}});
    Settings s;
    s.iniPath = ini;
    s.serverCount = 1;
    s.trayIcon = 3;
    s.nextCheckText = "other";
    s.serverList[1] = "changed.example";
    s.currentServer = "kept.example";
    SaveSettings(s);
    EXPECT_EQ(iniValue(ini, "General", "Tray Icon"), "7");
    EXPECT_EQ(iniValue(ini, "General", "Time Next Checked"), "sentinel");
    EXPECT_EQ(iniKeys(ini, "TimeServers"), std::vector<std::string>{"Server1"});
    EXPECT_EQ(iniValue(ini, "TimeServers", "Server1"), "kept.example");
    EXPECT_EQ(iniValue(ini, "Network", "CurrentNISTServer"), "kept.example");
    for (const char* key : kSaveKeysGeneral)
        EXPECT_NE(iniValue(ini, "General", key), "<missing>") << key;
}

// Every key written with a value other than its default reads back as written:
// a key saved under one name and read under another, or wired to the wrong
// field, shows here.
TEST(SettingsFile, EveryKeyReadsBackWhatWasWritten) {
    TempFolder folder;
    Settings written;
    written.iniPath = folder.file("Tickwell.ini");
    written.showSplashScreen = 0;
    written.showStatusBar = 0;
    written.useSounds = 0;
    written.stayOnTop = 1;
    written.runInSystemTray = 1;
    written.logEvents = 0;
    written.autoSetTime = 1;
    written.interval = 43200;
    written.trayIcon = 12;
    written.startWithWindows = 1;
    written.rotateIconsInSysTray = 0; // with the tray on, rotation would move the icon
    written.nextCheckText = "12/8/2026 07:00:00";
    written.maximumAutomaticChange = 0;
    written.networkTimeout = 5;
    written.serversToAsk = 5;
    written.samplesPerServer = 8;
    written.timePort = 37;
    written.currentServer = "mine.example";
    written.useProxyServer = 1;
    written.proxyPort = 8080;
    written.proxyServerAddress = "proxy.example";
    written.ntsCaFile = "C:\\Certs\\private CA.pem";
    written.connectionRetry = 0;
    written.waitForConnection = 1;
    written.displayNistTime = 2;
    written.displayLocalTime = 1;
    written.timeStyle = 1;
    written.serverCount = 2; // the list is not the store's to write, beyond the defaults
    written.serverList[1] = "one.example";
    written.serverList[2] = "two.example";
    const Settings defaults;
    for (const SettingKey& key : settingKeys()) {
        const bool changed = key.intField != nullptr
                                 ? written.*key.intField != defaults.*key.intField
                             : key.boolField != nullptr
                                 ? written.*key.boolField != defaults.*key.boolField
                                 : written.*key.textField != defaults.*key.textField;
        ASSERT_TRUE(changed) << key.name << " keeps its default: the round trip would not test it";
    }

    ASSERT_TRUE(SaveSettings(written));
    ASSERT_TRUE(writeShutdownSettings(written));
    for (int n = 1; n <= written.serverCount; ++n)
        ::WritePrivateProfileStringA("TimeServers", serverKey(n).c_str(),
                                     written.serverList[n].c_str(), written.iniPath.c_str());
    Settings read;
    LoadSettings(read, written.iniPath);

    Settings expected = written;
    expected.showSplashScreen = 1; // always on when read
    expected.datePicture = "dd MMMM yyyy";
    expected.timePicture = "HH:mm:ss";
    EXPECT_TRUE(read == expected) << readFile(written.iniPath);
}

TEST(SettingsFile, ShutdownWritesExactlyThreeKeys) {
    TempFolder folder;
    const std::string ini = folder.file("Tickwell.ini");
    Settings s;
    s.iniPath = ini;
    s.showStatusBar = 0;
    s.trayIcon = 12;
    s.nextCheckText = "12/8/2026 07:00:00";
    EXPECT_TRUE(writeShutdownSettings(s));
    EXPECT_EQ(iniKeys(ini, "General"),
              (std::vector<std::string>{"Show Status bar", "Tray Icon", "Time Next Checked"}));
    EXPECT_TRUE(iniKeys(ini, "Network").empty());
    EXPECT_EQ(iniValue(ini, "General", "Show Status bar"), "0");
    EXPECT_EQ(iniValue(ini, "General", "Tray Icon"), "12");
    EXPECT_EQ(iniValue(ini, "General", "Time Next Checked"), "12/8/2026 07:00:00");
}

double parsed(const std::string& text) {
    tw::unique_bstr b(tw::makeBstr(text));
    return ::STRTOVBDATE(b.get());
}

double localNow() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double now = 0;
    ::SystemTimeToVariantTime(&local, &now);
    return now;
}

constexpr double kSecond = 1.0 / 86400;

TEST(NextCheck, MinutesFromNowToTheSecond) {
    const double now = parsed(lib::nextCheckText(0));
    const double dayLater = parsed(lib::nextCheckText(1440));
    const double halfHour = parsed(lib::nextCheckText(30));
    // The calls may fall in different seconds.
    EXPECT_NEAR(dayLater - now, 1.0, 1.5 * kSecond);
    EXPECT_NEAR(halfHour - now, 30.0 / 1440, 1.5 * kSecond);
    EXPECT_EQ(std::fmod(std::round(now / kSecond * 1000), 1000.0), 0.0) << "whole seconds only";
}

TEST(NextCheck, RealClockGivesNow) {
    EXPECT_NEAR(parsed(lib::nextCheckText(0)), localNow(), 3 * kSecond);
}

} // namespace
} // namespace tickwell
