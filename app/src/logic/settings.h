// The program's settings: one value per key of "Tickwell.ini",
// plus the server list, the current server, the next check time and the two
// display pictures derived from "Time Style". Which key holds which value, and
// its default, is the table in settings_table.h.
#pragma once

#include <array>
#include <string>

namespace tickwell {

inline constexpr int kMaxServers = 25;
inline constexpr int kTrayIconCount = 14;
inline constexpr int kMaxServersToAsk = 5;
inline constexpr int kMaxSamplesPerServer = 8;
// The Windows Time service's own default for MaxPos/MaxNegPhaseCorrection.
inline constexpr int kDefaultMaximumAutomaticChange = 54'000;

// The switches are stored as 0 and 1 (any other number reads as on); the
// program holds them as bools.
struct Settings {
    // Every key at its default.
    Settings();

    // "General"
    bool showSplashScreen;
    bool showStatusBar;
    bool useSounds;
    bool stayOnTop;
    bool runInSystemTray;
    bool logEvents;
    bool autoSetTime;
    int interval; // minutes
    int trayIcon; // 1..14: icon resource 1050 + n
    bool startWithWindows;
    bool rotateIconsInSysTray;
    std::string nextCheckText; // "Time Next Checked"
    // The largest change of the clock an automatic Set may make, in seconds;
    // 0 is no limit.
    int maximumAutomaticChange;

    // "Network"
    int networkTimeout; // seconds
    int timePort;
    std::string currentServer; // "CurrentNISTServer"
    bool useProxyServer;
    int proxyPort;
    std::string proxyServerAddress;
    bool connectionRetry;
    bool waitForConnection;
    int serversToAsk;     // 1..kMaxServersToAsk; 1 asks only the current server
    int samplesPerServer; // 1..kMaxSamplesPerServer, NTP only
    // "NTS CA file": the PEM file of the authorities that NTS servers'
    // certificates are checked against (a private server's CA); empty for the
    // Windows certificate store. A relative path is from the settings file's folder.
    std::string ntsCaFile;

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

} // namespace tickwell
