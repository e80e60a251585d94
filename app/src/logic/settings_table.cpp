#include "settings_table.h"

namespace tickwell {

namespace {

constexpr SettingKey intKey(const char* section, const char* name, int Settings::*field,
                            int defaultValue, unsigned writes) {
    return {section, name, field, nullptr, defaultValue, TextDefault::Empty, writes};
}

constexpr SettingKey textKey(const char* section, const char* name, std::string Settings::*field,
                             TextDefault defaultValue, unsigned writes) {
    return {section, name, nullptr, field, 0, defaultValue, writes};
}

constexpr const char* kGeneral = kGeneralSection;
constexpr const char* kNetwork = kNetworkSection;
constexpr const char* kFormat = kFormatSection;

constexpr SettingKey kKeys[] = {
    intKey(kGeneral, "Show Splash Screen", &Settings::showSplashScreen, 1, kSaved),
    intKey(kGeneral, "Show Status bar", &Settings::showStatusBar, 1, kSaved | kAtShutdown),
    intKey(kGeneral, "Use Sounds", &Settings::useSounds, 1, kSaved),
    intKey(kGeneral, "Stay on top", &Settings::stayOnTop, 0, kSaved),
    intKey(kGeneral, "Run in System Tray", &Settings::runInSystemTray, 0, kSaved),
    intKey(kGeneral, "Log events", &Settings::logEvents, 1, kSaved),
    intKey(kGeneral, "Auto-set time", &Settings::autoSetTime, 0, kSaved),
    intKey(kGeneral, "Interval", &Settings::interval, 720, kSaved),
    intKey(kGeneral, "Tray Icon", &Settings::trayIcon, 1, kAtShutdown),
    intKey(kGeneral, "Start with Windows", &Settings::startWithWindows, 0, kSaved),
    intKey(kGeneral, "Rotate Icons in SysTray", &Settings::rotateIconsInSysTray, 1, kSaved),
    textKey(kGeneral, "Time Next Checked", &Settings::nextCheckText,
            TextDefault::NextCheckFromInterval, kAtShutdown),

    intKey(kNetwork, "Time Port", &Settings::timePort, 13, kSaved),
    intKey(kNetwork, "Network Timeout", &Settings::networkTimeout, 30, kSaved),
    textKey(kNetwork, "CurrentNISTServer", &Settings::currentServer, TextDefault::ThirdServer,
            kSaved),
    intKey(kNetwork, "Use Proxy Server", &Settings::useProxyServer, 0, kSaved),
    intKey(kNetwork, "Proxy Port", &Settings::proxyPort, 80, kSaved),
    textKey(kNetwork, "Proxy Server address", &Settings::proxyServerAddress, TextDefault::Empty,
            kSaved),
    intKey(kNetwork, "Connection Retry", &Settings::connectionRetry, 1, kSaved),
    intKey(kNetwork, "Wait for connection", &Settings::waitForConnection, 0, kSaved),

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
}

} // namespace tickwell
