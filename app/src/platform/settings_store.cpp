#include "settings_store.h"

#include "cycle_readings.h"
#include "data_folder.h"
#include "library_calls.h"
#include "settings_codec.h"
#include "settings_table.h"

namespace tickwell {

namespace {

struct IniFile {
    const std::string& path;

    std::string read(const char* section, const std::string& key,
                     const std::string& defaultValue) const {
        return lib::iniRead(path, section, key, defaultValue);
    }
    bool write(const char* section, const std::string& key, const std::string& value) const {
        return lib::iniWrite(path, section, key, value);
    }
};

// A key whose default is a server of the list is read once the list is.
bool readWithServerList(const SettingKey& key) {
    return key.textField != nullptr && key.textDefault == TextDefault::DefaultCurrentServer;
}

std::string textDefault(TextDefault which, const Settings& s) {
    switch (which) {
    case TextDefault::NextCheckFromInterval:
        return nextScheduledCheckText(s.interval);
    case TextDefault::DefaultCurrentServer:
        return s.serverList[kDefaultCurrentServerSlot];
    case TextDefault::Empty:
        break;
    }
    return {};
}

void readKey(Settings& s, const IniFile& ini, const SettingKey& key) {
    if (key.textField != nullptr) {
        s.*key.textField = ini.read(key.section, key.name, textDefault(key.textDefault, s));
        return;
    }
    int value = decodeInt(ini.read(key.section, key.name, encodeInt(key.intDefault)));
    if (key.low <= key.high && (value < key.low || value > key.high))
        value = key.intDefault;
    if (key.intField != nullptr)
        s.*key.intField = value;
    else
        s.*key.boolField = value != 0;
}

std::string storedText(const Settings& s, const SettingKey& key) {
    if (key.intField != nullptr)
        return encodeInt(s.*key.intField);
    if (key.boolField != nullptr)
        return encodeInt(s.*key.boolField ? 1 : 0);
    return s.*key.textField;
}

// The keys marked with `writes`, in the table's order; false when a write was refused.
bool writeKeys(const Settings& s, unsigned writes) {
    const IniFile ini{s.iniPath};
    bool allWritten = true;
    for (const SettingKey& key : settingKeys()) {
        if ((key.writes & writes) == 0)
            continue;
        if (!ini.write(key.section, key.name, storedText(s, key)))
            allWritten = false;
    }
    return allWritten;
}

// Slots 1..25 up to the first empty one; the slots after it keep what they held.
void readServerList(Settings& s, const IniFile& ini) {
    s.serverCount = kMaxServers;
    for (int n = 1; n <= kMaxServers; ++n) {
        s.serverList[n] = ini.read(kTimeServersSection, serverKey(n), "");
        if (s.serverList[n].empty()) {
            s.serverCount = n - 1;
            break;
        }
    }
    for (const SettingKey& key : settingKeys())
        if (readWithServerList(key))
            readKey(s, ini, key);
}

} // namespace

void LoadSettings(Settings& s, const std::string& iniPath) {
    s.iniPath = iniPath;
    const IniFile ini{s.iniPath};

    for (const SettingKey& key : settingKeys())
        if (!readWithServerList(key))
            readKey(s, ini, key);
    s.showSplashScreen = true; // the splash is always shown

    const Pictures pictures = picturesForStyle(s.timeStyle);
    s.datePicture = pictures.date;
    s.timePicture = pictures.time;

    if (s.runInSystemTray && s.rotateIconsInSysTray)
        s.trayIcon = rotatedTrayIcon(s.trayIcon);

    readServerList(s, ini);
    if (s.serverCount == 0) {
        // First start (or a broken list): write the defaults and read them back,
        // once. When they cannot be written (a read-only folder), go on with the
        // defaults held in memory; a current server the file names still counts.
        if (SaveSettings(s))
            readServerList(s, ini);
        if (s.serverCount == 0) {
            for (size_t i = tw::kFirstListedDefaultServer; i < kDefaultServers.size(); ++i)
                s.serverList[i] = std::string(kDefaultServers[i]);
            s.serverCount =
                static_cast<int>(kDefaultServers.size() - tw::kFirstListedDefaultServer);
            if (s.currentServer.empty())
                s.currentServer = s.serverList[kDefaultCurrentServerSlot];
        }
    }
}

std::string settingsFilePath() {
    return dataFolder() + kIniFileName;
}

bool SaveSettings(const Settings& s) {
    bool allWritten = writeKeys(s, kSaved);
    if (s.serverCount == 0) {
        const IniFile ini{s.iniPath};
        for (size_t n = 0; n < kDefaultServers.size(); ++n)
            if (!ini.write(kTimeServersSection, serverKey(static_cast<int>(n)),
                           std::string(kDefaultServers[n])))
                allWritten = false;
    }
    return allWritten;
}

bool saveAddedServer(const Settings& s) {
    if (s.serverCount < 1 || s.serverCount > kMaxServers)
        return false;
    return IniFile{s.iniPath}.write(kTimeServersSection, serverKey(s.serverCount),
                                    s.serverList[s.serverCount]);
}

bool writeShutdownSettings(const Settings& s) {
    return writeKeys(s, kAtShutdown);
}

} // namespace tickwell
