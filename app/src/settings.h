// The program's settings: one process-wide value per key of "Tickwell.ini",
// plus the server list, the current server, the next check time and the two
// display pictures derived from "Time Style".
#pragma once

#include <array>
#include <string>

namespace tickwell {

inline constexpr int kMaxServers = 25;
inline constexpr int kTrayIconCount = 14;

struct Settings {
    // "General"
    int showSplashScreen = 1;
    int showStatusBar = 1;
    int useSounds = 1;
    int stayOnTop = 0;
    int runInSystemTray = 0;
    int logEvents = 1;
    int autoSetTime = 0;
    int interval = 720; // minutes
    int trayIcon = 1;   // 1..14: icon resource 1050 + n
    int startWithWindows = 0;
    int rotateIconsInSysTray = 1;
    std::string nextCheckText; // "Time Next Checked"

    // "Network"
    int networkTimeout = 30; // seconds
    int timePort = 13;
    std::string currentServer; // "CurrentNISTServer"
    int useProxyServer = 0;
    int proxyPort = 80;
    std::string proxyServerAddress;
    int connectionRetry = 1;
    int waitForConnection = 0;

    // "Format"
    int displayNistTime = 1;  // 0 local, 1 GMT, 2 raw Daytime line
    int displayLocalTime = 0; // 0 local, 1 GMT
    int timeStyle = 0;        // 0 long date + 12-hour clock, else day-month-year + 24-hour

    // "TimeServers": slots 1..25 (slot 0 unused), filled up to serverCount.
    std::array<std::string, kMaxServers + 1> serverList;
    int serverCount = 0;

    // Derived from timeStyle; not stored.
    std::string datePicture;
    std::string timePicture;

    // Where the settings file lies: the program's folder + "Tickwell.ini".
    std::string iniPath;
};

// The settings of this run.
Settings& settings();

} // namespace tickwell
