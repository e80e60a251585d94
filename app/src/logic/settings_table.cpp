#include "settings_table.h"

#include <climits>

namespace tickwell {

namespace {

constexpr SettingKey intKey(const char* section, const char* name, int Settings::*field,
                            int defaultValue, unsigned writes) {
    return {section, name, field, nullptr, nullptr, defaultValue, 1, 0, TextDefault::Empty,
            writes};
}

constexpr SettingKey rangeKey(const char* section, const char* name, int Settings::*field,
                              int defaultValue, int low, int high, unsigned writes) {
    return {section, name, field, nullptr, nullptr, defaultValue, low, high, TextDefault::Empty,
            writes};
}

constexpr SettingKey boolKey(const char* section, const char* name, bool Settings::*field,
                             bool defaultValue, unsigned writes) {
    return {section, name, nullptr, field, nullptr, defaultValue ? 1 : 0, 1, 0,
            TextDefault::Empty, writes};
}

constexpr SettingKey textKey(const char* section, const char* name, std::string Settings::*field,
                             TextDefault defaultValue, unsigned writes) {
    return {section, name, nullptr, nullptr, field, 0, 1, 0, defaultValue, writes};
}

constexpr const char* kGeneral = kGeneralSection;
constexpr const char* kNetwork = kNetworkSection;
constexpr const char* kFormat = kFormatSection;

constexpr SettingKey kKeys[] = {
    boolKey(kGeneral, "Show Splash Screen", &Settings::showSplashScreen, true, kSaved),
    boolKey(kGeneral, "Show Status bar", &Settings::showStatusBar, true, kSaved | kAtShutdown),
    boolKey(kGeneral, "Use Sounds", &Settings::useSounds, true, kSaved),
    boolKey(kGeneral, "Stay on top", &Settings::stayOnTop, false, kSaved),
    boolKey(kGeneral, "Run in System Tray", &Settings::runInSystemTray, false, kSaved),
    boolKey(kGeneral, "Log events", &Settings::logEvents, true, kSaved),
    boolKey(kGeneral, "Auto-set time", &Settings::autoSetTime, false, kSaved),
    intKey(kGeneral, "Interval", &Settings::interval, 720, kSaved),
    intKey(kGeneral, "Tray Icon", &Settings::trayIcon, 1, kAtShutdown),
    boolKey(kGeneral, "Start with Windows", &Settings::startWithWindows, false, kSaved),
    boolKey(kGeneral, "Rotate Icons in SysTray", &Settings::rotateIconsInSysTray, true, kSaved),
    textKey(kGeneral, "Time Next Checked", &Settings::nextCheckText,
            TextDefault::NextCheckFromInterval, kAtShutdown),
    rangeKey(kGeneral, "Maximum automatic change", &Settings::maximumAutomaticChange,
             kDefaultMaximumAutomaticChange, 0, INT_MAX, kSaved),

    intKey(kNetwork, "Time Port", &Settings::timePort, 13, kSaved),
    intKey(kNetwork, "Network Timeout", &Settings::networkTimeout, 30, kSaved),
    textKey(kNetwork, "CurrentNISTServer", &Settings::currentServer,
            TextDefault::DefaultCurrentServer, kSaved),
    boolKey(kNetwork, "Use Proxy Server", &Settings::useProxyServer, false, kSaved),
    intKey(kNetwork, "Proxy Port", &Settings::proxyPort, 80, kSaved),
    textKey(kNetwork, "Proxy Server address", &Settings::proxyServerAddress, TextDefault::Empty,
            kSaved),
    boolKey(kNetwork, "Connection Retry", &Settings::connectionRetry, true, kSaved),
    boolKey(kNetwork, "Wait for connection", &Settings::waitForConnection, false, kSaved),
    rangeKey(kNetwork, "Servers to ask", &Settings::serversToAsk, 1, 1, kMaxServersToAsk, kSaved),
    rangeKey(kNetwork, "Samples per server", &Settings::samplesPerServer, 1, 1,
             kMaxSamplesPerServer, kSaved),
    textKey(kNetwork, "NTS CA file", &Settings::ntsCaFile, TextDefault::Empty, kSaved),

    intKey(kFormat, "Display NIST Time", &Settings::displayNistTime, 1, kSaved),
    intKey(kFormat, "Display LOCAL Time", &Settings::displayLocalTime, 0, kSaved),
    intKey(kFormat, "Time Style", &Settings::timeStyle, 0, kSaved),
};

} // namespace

std::span<const SettingKey> settingKeys() {
    return kKeys;
}

Settings::Settings() {
    for (const SettingKey& key : kKeys)
        if (key.intField != nullptr)
            this->*key.intField = key.intDefault;
        else if (key.boolField != nullptr)
            this->*key.boolField = key.intDefault != 0;
}

} // namespace tickwell
