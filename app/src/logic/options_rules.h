// The options dialog's rules as plain logic: what the three pages show for the
// settings in force, which controls a box's state enables, and what Apply makes
// of the controls' values, or why it refuses them. No Win32: the dialog classes
// read and set the controls, this decides.
#pragma once

#include "settings.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tickwell {

// States of the pages' controls by id: checked (check boxes and options) or
// enabled (the controls whose enabling follows a rule).
using ControlStates = std::map<int, bool>;
using ControlTexts = std::map<int, std::string>;
// The numbers the drop lists show by id; 0 for a list with nothing selected.
using ControlNumbers = std::map<int, int>;

// Every check box and option of the pages, in the order they are read.
extern const std::vector<int> kOptionBoxes;
// The eight interval options with their minutes.
struct IntervalOption {
    int id;
    int minutes;
};
extern const std::vector<IntervalOption> kIntervalOptions;
// The drop lists of numbers: each offers 1 to `highest` for its setting.
struct NumberList {
    int id;
    int highest;
    int Settings::*field;
};
extern const std::vector<NumberList> kNumberLists;

// The allowed ranges of the numbers Apply checks.
inline constexpr int kLowestPort = 1;
inline constexpr int kHighestPort = 65535;
inline constexpr int kLongestTimeoutSeconds = 3600;
// The library asks by NTP on this port, and only there takes several samples.
inline constexpr int kNtpPort = 123;

struct OptionsView {
    ControlStates checked;
    ControlStates enabled;
    ControlTexts texts;               // the edits
    ControlNumbers numbers;           // the drop lists of numbers
    std::vector<std::string> servers; // the drop list's items, in list order
    int serverSelection = -1;         // the item shown; -1 for none
};

// The pages as they open. Nothing in the settings changes: where the pages show
// something else (rotation off with the tray off, "12 hours" for an interval no
// option names) it takes effect through Apply, and Cancel leaves it.
OptionsView initialView(const Settings& s);

// Enabling of the rule-bound controls for the boxes' states: the chooser only
// with the tray on and rotation off, rotation only with the tray on, the
// intervals and the retry only with auto-set on, the proxy fields only with the
// proxy on, the samples per server only with the NTP port typed; the splash box
// never (the splash always shows).
ControlStates enablingFor(const ControlStates& checked, std::string_view timePortText);

// The option for a number of minutes; "12 hours" when none names it.
int intervalOption(int minutes);

// What Apply reads from the pages.
struct OptionsInput {
    ControlStates checked;
    ControlTexts texts;      // time port, time-out, proxy address, proxy port, the limit, CA file
    ControlNumbers numbers;  // the drop lists of numbers
    std::string shownServer; // the drop list's text; empty with nothing selected
};

struct Refusal {
    int field;                // the edit whose text is refused
    std::string message;      // names the field and what it allows
    std::string restoredText; // the value in force, put back into the field
};

struct ApplyOutcome {
    // Set when a number was refused: then nothing is applied.
    std::optional<Refusal> refusal;
    Settings settings;         // the settings Apply leaves
    bool nextCheckDue = false; // auto-set on: the next check moves to now + interval
};

ApplyOutcome planApply(const Settings& current, const OptionsInput& input);

// A whole number as typed (blanks around it allowed, nothing else) within
// [low, high]; none otherwise.
std::optional<int> numberInRange(std::string_view text, int low, int high);

// The tray picture "&Ok" confirms: the icon clicked last, or the one in force
// when none was clicked since the program started.
int confirmedTrayIcon(int pendingIcon, int trayIcon);

// The controls that give way to the service's text while the Tickwell Time
// service keeps the clock on its own schedule (their values stay stored).
std::span<const int> autoSetChoices();

// What the General page says in their place: who keeps the clock, the next
// set and the last outcome as the service reports them.
std::string serviceScheduleText(const std::string& nextCheck, const std::string& lastAt,
                                const std::string& lastOutcome);

} // namespace tickwell
