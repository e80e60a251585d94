// The program's settings: one process-wide value per key of "Tickwell.ini",
// plus the server list, the current server, the next check time and the two
// display pictures derived from "Time Style". Which key holds which value, and
// its default, is the table in settings_table.h.
#pragma once

#include <array>
#include <string>

namespace tickwell {

inline constexpr int kMaxServers = 25;
inline constexpr int kTrayIconCount = 14;

struct Settings {
    // Every key at its default.
    Settings();

    // "General"
    int showSplashScreen;
    int showStatusBar;
    int useSounds;
    int stayOnTop;
    int runInSystemTray;
    int logEvents;
    int autoSetTime;
    int interval; // minutes
    int trayIcon; // 1..14: icon resource 1050 + n
    int startWithWindows;
    int rotateIconsInSysTray;
    std::string nextCheckText; // "Time Next Checked"

    // "Network"
    int networkTimeout; // seconds
    int timePort;
    std::string currentServer; // "CurrentNISTServer"
    int useProxyServer;
    int proxyPort;
    std::string proxyServerAddress;
    int connectionRetry;
    int waitForConnection;

    // "Format"
    int displayNistTime;  // 0 local, 1 GMT, 2 raw Daytime line
    int displayLocalTime; // 0 local, 1 GMT
    int timeStyle;        // 0 long date + 12-hour clock, else day-month-year + 24-hour

    // "TimeServers": slots 1..25 (slot 0 unused), filled up to serverCount.
    std::array<std::string, kMaxServers + 1> serverList;
    int serverCount = 0;

    // Derived from timeStyle; not stored.
    std::string datePicture;
    std::string timePicture;

    // Where the settings file lies: the program's folder + "Tickwell.ini".
    std::string iniPath;

    bool operator==(const Settings&) const = default;
};

// The settings of this run.
Settings& settings();

} // namespace tickwell
