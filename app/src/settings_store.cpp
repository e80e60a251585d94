#include "settings_store.h"

#include "library_calls.h"
#include "seams.h"
#include "settings_codec.h"

#include <oleauto.h>

#include <cstdint>

namespace tickwell {

Settings& settings() {
    static Settings current;
    return current;
}

namespace {

constexpr char kGeneral[] = "General";
constexpr char kNetwork[] = "Network";
constexpr char kFormat[] = "Format";
constexpr char kTimeServers[] = "TimeServers";

struct IniFile {
    const std::string& path;

    int readInt(const char* section, const char* key, int defaultValue) const {
        return decodeInt(lib::iniRead(path, section, key, encodeInt(defaultValue)));
    }
    std::string readText(const char* section, const std::string& key,
                         const std::string& defaultValue) const {
        return lib::iniRead(path, section, key, defaultValue);
    }
    void writeInt(const char* section, const char* key, int value) const {
        lib::iniWrite(path, section, key, encodeInt(value));
    }
    void writeText(const char* section, const std::string& key, const std::string& value) const {
        lib::iniWrite(path, section, key, value);
    }
};

// Slots 1..25 up to the first empty one; the slots after it keep what they held.
void readServerList(Settings& s, const IniFile& ini) {
    s.serverCount = kMaxServers;
    for (int n = 1; n <= kMaxServers; ++n) {
        s.serverList[n] = ini.readText(kTimeServers, serverKey(n), "");
        if (s.serverList[n].empty()) {
            s.serverCount = n - 1;
            break;
        }
    }
    s.currentServer = ini.readText(kNetwork, "CurrentNISTServer", s.serverList[3]);
}

} // namespace

void loadSettings(Settings& s, const std::string& iniPath) {
    s.iniPath = iniPath;
    const IniFile ini{s.iniPath};

    ini.readInt(kGeneral, "Show Splash Screen", 1);
    s.showSplashScreen = 1; // the splash is always shown
    s.showStatusBar = ini.readInt(kGeneral, "Show Status bar", 1);
    s.useSounds = ini.readInt(kGeneral, "Use Sounds", 1);
    s.stayOnTop = ini.readInt(kGeneral, "Stay on top", 0);
    s.runInSystemTray = ini.readInt(kGeneral, "Run in System Tray", 0);
    s.logEvents = ini.readInt(kGeneral, "Log events", 1);
    s.autoSetTime = ini.readInt(kGeneral, "Auto-set time", 0);
    s.interval = ini.readInt(kGeneral, "Interval", 720);
    s.trayIcon = ini.readInt(kGeneral, "Tray Icon", 1);
    s.startWithWindows = ini.readInt(kGeneral, "Start with Windows", 0);
    s.rotateIconsInSysTray = ini.readInt(kGeneral, "Rotate Icons in SysTray", 1);
    s.nextCheckText = ini.readText(kGeneral, "Time Next Checked", NextCheckText(s.interval));

    s.networkTimeout = ini.readInt(kNetwork, "Network Timeout", 30);
    s.timePort = ini.readInt(kNetwork, "Time Port", 13);
    s.displayNistTime = ini.readInt(kFormat, "Display NIST Time", 1);
    s.displayLocalTime = ini.readInt(kFormat, "Display LOCAL Time", 0);
    s.timeStyle = ini.readInt(kFormat, "Time Style", 0);
    s.useProxyServer = ini.readInt(kNetwork, "Use Proxy Server", 0);
    s.proxyPort = ini.readInt(kNetwork, "Proxy Port", 80);
    s.proxyServerAddress = ini.readText(kNetwork, "Proxy Server address", "");
    s.connectionRetry = ini.readInt(kNetwork, "Connection Retry", 1);
    s.waitForConnection = ini.readInt(kNetwork, "Wait for connection", 0);

    const Pictures pictures = picturesForStyle(s.timeStyle);
    s.datePicture = pictures.date;
    s.timePicture = pictures.time;

    if (s.runInSystemTray != 0 && s.rotateIconsInSysTray != 0)
        s.trayIcon = rotatedTrayIcon(s.trayIcon);

    readServerList(s, ini);
    if (s.serverCount == 0) {
        // First start (or a broken list): write the defaults and read them back,
        // once. When they cannot be written (a read-only folder), go on with the
        // defaults held in memory; a current server the file names still counts.
        saveSettings(s);
        readServerList(s, ini);
        if (s.serverCount == 0) {
            for (size_t i = 1; i < kDefaultServers.size(); ++i)
                s.serverList[i] = std::string(kDefaultServers[i]);
            s.serverCount = static_cast<int>(kDefaultServers.size()) - 1;
            if (s.currentServer.empty())
                s.currentServer = s.serverList[3];
        }
    }
}

void LoadSettings() {
    loadSettings(settings(), lib::appPath() + kIniFileName);
}

void saveSettings(const Settings& s) {
    const IniFile ini{s.iniPath};
    ini.writeInt(kGeneral, "Show Splash Screen", s.showSplashScreen);
    ini.writeInt(kGeneral, "Show Status bar", s.showStatusBar);
    ini.writeInt(kGeneral, "Use Sounds", s.useSounds);
    ini.writeInt(kGeneral, "Stay on top", s.stayOnTop);
    ini.writeInt(kGeneral, "Run in System Tray", s.runInSystemTray);
    ini.writeInt(kGeneral, "Log events", s.logEvents);
    ini.writeInt(kGeneral, "Auto-set time", s.autoSetTime);
    ini.writeInt(kGeneral, "Interval", s.interval);
    ini.writeInt(kGeneral, "Start with Windows", s.startWithWindows);
    ini.writeInt(kGeneral, "Rotate Icons in SysTray", s.rotateIconsInSysTray);

    ini.writeInt(kNetwork, "Time Port", s.timePort);
    ini.writeInt(kNetwork, "Network Timeout", s.networkTimeout);
    ini.writeText(kNetwork, "CurrentNISTServer", s.currentServer);
    ini.writeInt(kNetwork, "Use Proxy Server", s.useProxyServer);
    ini.writeInt(kNetwork, "Proxy Port", s.proxyPort);
    ini.writeText(kNetwork, "Proxy Server address", s.proxyServerAddress);
    ini.writeInt(kNetwork, "Connection Retry", s.connectionRetry);
    ini.writeInt(kNetwork, "Wait for connection", s.waitForConnection);

    ini.writeInt(kFormat, "Display NIST Time", s.displayNistTime);
    ini.writeInt(kFormat, "Display LOCAL Time", s.displayLocalTime);
    ini.writeInt(kFormat, "Time Style", s.timeStyle);

    if (s.serverCount == 0) {
        for (size_t n = 0; n < kDefaultServers.size(); ++n)
            ini.writeText(kTimeServers, serverKey(static_cast<int>(n)),
                          std::string(kDefaultServers[n]));
    }
}

void SaveSettings() {
    saveSettings(settings());
}

void writeShutdownSettings(const Settings& s) {
    const IniFile ini{s.iniPath};
    ini.writeInt(kGeneral, "Show Status bar", s.showStatusBar);
    ini.writeInt(kGeneral, "Tray Icon", s.trayIcon);
    ini.writeText(kGeneral, "Time Next Checked", s.nextCheckText);
}

std::string NextCheckText(int minutes) {
    // 64-bit: a minute count near the 32-bit limit must not wrap.
    const long long seconds = static_cast<long long>(minutes) * 60;
    SYSTEMTIME now{};
    seams().getLocalTime(&now);
    // To the second. The clock goes straight to a variant date: a month-first
    // text read back by the date parser would swap day and month for a user
    // whose short date puts the day first.
    now.wMilliseconds = 0;
    double today = 0;
    ::SystemTimeToVariantTime(&now, &today);
    return lib::vbDateToStr(today + static_cast<double>(seconds) / 86400.0);
}

void applyRunEntry(const Settings& s) {
    if (s.startWithWindows != 0)
        lib::saveRegistryText(kHkeyLocalMachine, kRunKeyPath, kRunValueName,
                              runEntryCommand(lib::exeName()));
    else
        lib::deleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, kRunValueName);
}

} // namespace tickwell
