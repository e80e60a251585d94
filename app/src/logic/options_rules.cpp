#include "options_rules.h"

#include "program_ids.h"
#include "server_list.h"
#include "settings_codec.h"
#include "tw/trim.h"

#include <charconv>
#include <climits>

namespace tickwell {

const std::vector<int> kOptionBoxes = {
    IDC_SHOW_SPLASH,    IDC_SHOW_STATUSBAR, IDC_USE_SOUNDS,         IDC_STAY_ON_TOP,
    IDC_RUN_IN_TRAY,    IDC_LOG_EVENTS,     IDC_START_WITH_WINDOWS, IDC_ROTATE_ICONS,
    IDC_AUTOSET_NONE,   IDC_INTERVAL_30,    IDC_INTERVAL_60,        IDC_INTERVAL_360,
    IDC_INTERVAL_720,   IDC_INTERVAL_1440,  IDC_INTERVAL_10080,     IDC_INTERVAL_20160,
    IDC_INTERVAL_43200, IDC_USE_PROXY,      IDC_CONNECTION_RETRY,   IDC_WAIT_FOR_CONNECTION,
    IDC_NIST_RAW,       IDC_NIST_GMT,       IDC_NIST_LOCAL,         IDC_LOCAL_GMT,
    IDC_LOCAL_LOCAL,    IDC_STYLE_LONG,     IDC_STYLE_24H,
};

const std::vector<IntervalOption> kIntervalOptions = {
    {IDC_INTERVAL_30, 30},       {IDC_INTERVAL_60, 60},       {IDC_INTERVAL_360, 360},
    {IDC_INTERVAL_720, 720},     {IDC_INTERVAL_1440, 1440},   {IDC_INTERVAL_10080, 10080},
    {IDC_INTERVAL_20160, 20160}, {IDC_INTERVAL_43200, 43200},
};

const std::vector<NumberList> kNumberLists = {
    {IDC_SERVERS_TO_ASK, kMaxServersToAsk, &Settings::serversToAsk},
    {IDC_SAMPLES_PER_SERVER, kMaxSamplesPerServer, &Settings::samplesPerServer},
};

namespace {

// A check box bound to a switch of the settings.
struct BoundBox {
    int id;
    bool Settings::*field;
};
const BoundBox kBoundBoxes[] = {
    {IDC_SHOW_SPLASH, &Settings::showSplashScreen},
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
};

// "Display NIST Time" by option; tested in this order, the last checked wins.
const std::pair<int, int> kNistOptions[] = {
    {IDC_NIST_RAW, 2}, {IDC_NIST_GMT, 1}, {IDC_NIST_LOCAL, 0}};

bool isOn(const ControlStates& states, int id) {
    const auto found = states.find(id);
    return found != states.end() && found->second;
}

std::string textOf(const ControlTexts& texts, int id) {
    const auto found = texts.find(id);
    return found != texts.end() ? found->second : std::string();
}

Refusal refused(int field, std::string message, int inForce) {
    return Refusal{field, std::move(message), encodeInt(inForce)};
}

// "Time Port must be a whole number from 1 to 65535."
std::string rangeText(const char* field, int low, int high, const char* unit = "") {
    return std::string(field) + " must be a whole number" + unit + " from " + std::to_string(low) +
           " to " + std::to_string(high) + ".";
}

} // namespace

OptionsView initialView(const Settings& s) {
    OptionsView view;
    for (const BoundBox& box : kBoundBoxes)
        view.checked[box.id] = s.*box.field;
    // Rotation is shown off with the tray off: it only ever rotates the tray icon.
    view.checked[IDC_ROTATE_ICONS] = s.runInSystemTray && s.rotateIconsInSysTray;

    const bool autoSet = s.autoSetTime;
    view.checked[IDC_AUTOSET_NONE] = !autoSet;
    const int shownInterval = autoSet ? intervalOption(s.interval) : 0;
    for (const IntervalOption& option : kIntervalOptions)
        view.checked[option.id] = option.id == shownInterval;

    for (const auto& [id, value] : kNistOptions)
        view.checked[id] = s.displayNistTime == value;
    view.checked[IDC_LOCAL_GMT] = s.displayLocalTime != 0;
    view.checked[IDC_LOCAL_LOCAL] = s.displayLocalTime == 0;
    view.checked[IDC_STYLE_LONG] = s.timeStyle == 0;
    view.checked[IDC_STYLE_24H] = s.timeStyle != 0;
    view.enabled = enablingFor(view.checked, encodeInt(s.timePort));

    view.texts[IDC_TIME_PORT] = encodeInt(s.timePort);
    view.texts[IDC_TIMEOUT] = encodeInt(s.networkTimeout);
    view.texts[IDC_PROXY_ADDRESS] = s.proxyServerAddress;
    view.texts[IDC_PROXY_PORT] = encodeInt(s.proxyPort);
    view.texts[IDC_MAXIMUM_CHANGE] = encodeInt(s.maximumAutomaticChange);
    view.texts[IDC_NTS_CA_FILE] = s.ntsCaFile;
    for (const NumberList& list : kNumberLists)
        view.numbers[list.id] = s.*list.field;

    for (int n = 1; n <= s.serverCount && n <= kMaxServers; ++n)
        view.servers.push_back(s.serverList[n]);
    view.serverSelection = serverPosition(s, s.currentServer);
    return view;
}

ControlStates enablingFor(const ControlStates& checked, std::string_view timePortText) {
    ControlStates enabled;
    const bool tray = isOn(checked, IDC_RUN_IN_TRAY);
    enabled[IDC_SHOW_SPLASH] = false;
    enabled[IDC_ROTATE_ICONS] = tray;
    enabled[IDC_CHOOSE_TRAY_ICON] = tray && !isOn(checked, IDC_ROTATE_ICONS);
    const bool autoSet = !isOn(checked, IDC_AUTOSET_NONE);
    for (const IntervalOption& option : kIntervalOptions)
        enabled[option.id] = autoSet;
    enabled[IDC_CONNECTION_RETRY] = autoSet;
    const bool proxy = isOn(checked, IDC_USE_PROXY);
    enabled[IDC_PROXY_ADDRESS] = proxy;
    enabled[IDC_PROXY_PORT] = proxy;
    enabled[IDC_SAMPLES_PER_SERVER] =
        numberInRange(timePortText, kLowestPort, kHighestPort) == kNtpPort;
    return enabled;
}

int intervalOption(int minutes) {
    for (const IntervalOption& option : kIntervalOptions)
        if (option.minutes == minutes)
            return option.id;
    return IDC_INTERVAL_720;
}

std::optional<int> numberInRange(std::string_view text, int low, int high) {
    text = tw::trimmed(text, tw::kSpaceAndTab);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Digits only: from_chars would take a minus sign, and stops at the first other character.
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-')
        return std::nullopt;
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

ApplyOutcome planApply(const Settings& current, const OptionsInput& input) {
    ApplyOutcome outcome;
    // The numbers first: a refused one stops Apply before anything takes effect.
    const std::optional<int> limit =
        numberInRange(textOf(input.texts, IDC_MAXIMUM_CHANGE), 0, INT_MAX);
    if (!limit) {
        outcome.refusal = refused(IDC_MAXIMUM_CHANGE,
                                  "Maximum automatic change must be a whole number of seconds, 0 "
                                  "or more (0: no limit).",
                                  current.maximumAutomaticChange);
        return outcome;
    }
    const std::string portText = textOf(input.texts, IDC_TIME_PORT);
    const std::optional<int> port = numberInRange(portText, kLowestPort, kHighestPort);
    if (!port) {
        outcome.refusal = refused(IDC_TIME_PORT, rangeText("Time Port", kLowestPort, kHighestPort),
                                  current.timePort);
        return outcome;
    }
    const std::optional<int> timeout =
        numberInRange(textOf(input.texts, IDC_TIMEOUT), 1, kLongestTimeoutSeconds);
    if (!timeout) {
        outcome.refusal = refused(
            IDC_TIMEOUT, rangeText("Network Timeout", 1, kLongestTimeoutSeconds, " of seconds"),
            current.networkTimeout);
        return outcome;
    }
    const bool proxy = isOn(input.checked, IDC_USE_PROXY);
    const std::optional<int> proxyPort =
        numberInRange(textOf(input.texts, IDC_PROXY_PORT), kLowestPort, kHighestPort);
    if (proxy && !proxyPort) {
        outcome.refusal = refused(
            IDC_PROXY_PORT, rangeText("Proxy Port", kLowestPort, kHighestPort), current.proxyPort);
        return outcome;
    }

    Settings& s = outcome.settings = current;
    for (const BoundBox& box : kBoundBoxes)
        s.*box.field = isOn(input.checked, box.id);
    // Nothing selected (the current server matches no entry): it stays current.
    if (!input.shownServer.empty())
        s.currentServer = input.shownServer;
    s.timePort = *port;
    s.networkTimeout = *timeout;
    s.proxyServerAddress = textOf(input.texts, IDC_PROXY_ADDRESS);
    // A disabled proxy port keeps a good number and drops a bad one.
    s.proxyPort = proxyPort.value_or(current.proxyPort);
    s.maximumAutomaticChange = *limit;
    s.ntsCaFile = std::string(tw::trimmed(textOf(input.texts, IDC_NTS_CA_FILE), tw::kSpaceAndTab));
    // A list with nothing selected keeps the number in force.
    for (const NumberList& list : kNumberLists) {
        const auto shown = input.numbers.find(list.id);
        if (shown != input.numbers.end() && shown->second >= 1 && shown->second <= list.highest)
            s.*list.field = shown->second;
    }

    for (const auto& [id, value] : kNistOptions)
        if (isOn(input.checked, id))
            s.displayNistTime = value;
    s.displayLocalTime = isOn(input.checked, IDC_LOCAL_GMT) ? 1 : 0;
    s.timeStyle = isOn(input.checked, IDC_STYLE_LONG) ? 0 : 1;
    const Pictures pictures = picturesForStyle(s.timeStyle);
    s.datePicture = pictures.date;
    s.timePicture = pictures.time;

    s.autoSetTime = !isOn(input.checked, IDC_AUTOSET_NONE);
    if (s.autoSetTime) {
        for (const IntervalOption& option : kIntervalOptions)
            if (isOn(input.checked, option.id))
                s.interval = option.minutes;
        outcome.nextCheckDue = true;
    }
    return outcome;
}

int confirmedTrayIcon(int pendingIcon, int trayIcon) {
    return pendingIcon != 0 ? pendingIcon : trayIcon;
}

std::span<const int> autoSetChoices() {
    static constexpr int kChoices[] = {IDC_AUTOSET_NONE,   IDC_INTERVAL_30,    IDC_INTERVAL_60,
                                       IDC_INTERVAL_360,   IDC_INTERVAL_720,   IDC_INTERVAL_1440,
                                       IDC_INTERVAL_10080, IDC_INTERVAL_20160, IDC_INTERVAL_43200};
    return kChoices;
}

std::string serviceScheduleText(const std::string& nextCheck, const std::string& lastAt,
                                const std::string& lastOutcome) {
    std::string text = "The Tickwell Time service keeps this PC's clock right.";
    if (!nextCheck.empty())
        text += "\r\nNext: " + nextCheck;
    text += lastOutcome.empty() ? std::string("\r\nIt has not set the clock yet.")
                                : "\r\nLast: " + lastAt + " " + lastOutcome;
    return text;
}

} // namespace tickwell
