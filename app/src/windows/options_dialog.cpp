#include "options_dialog.h"

#include "add_server_dialog.h"
#include "cycle_readings.h"
#include "identity.h"
#include "library_calls.h"
#include "options_rules.h"
#include "program_ids.h"
#include "program_seams.h"
#include "program_title.h"
#include "run_entry.h"
#include "server_list.h"
#include "settings_codec.h"
#include "settings_store.h"
#include "tray_icon_chooser.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace tickwell {

namespace {

// The service answers STATUS at once; a dialog never waits long for it.
constexpr uint32_t kServiceStatusWaitMs = 1'000;

constexpr int kPageTemplates[] = {IDD_OPTIONS_GENERAL, IDD_OPTIONS_NETWORK, IDD_OPTIONS_FORMAT};
constexpr const char* kTabTexts[] = {"General", "Network", "Format"};

// The time style options show the PC time in their style, computed once when
// the dialog opens.
struct StylePreview {
    int id;
    int timeStyle;
    const char* separator;
};
constexpr StylePreview kStylePreviews[] = {{IDC_STYLE_LONG, 0, " - "}, {IDC_STYLE_24H, 1, "  "}};

constexpr int kEditFields[] = {IDC_TIME_PORT,  IDC_TIMEOUT,        IDC_PROXY_ADDRESS,
                               IDC_PROXY_PORT, IDC_MAXIMUM_CHANGE, IDC_NTS_CA_FILE};
// Nine digits always make an int, so a typed limit is never refused as too large.
constexpr WPARAM kLongestLimitText = 9;

// Clicks that enable or disable other controls.
bool changesEnabling(int id) {
    return id == IDC_RUN_IN_TRAY || id == IDC_ROTATE_ICONS || id == IDC_AUTOSET_NONE ||
           id == IDC_USE_PROXY;
}

template <class Ids> bool contains(const Ids& ids, int id) {
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

std::string comboItemText(HWND combo, LRESULT index) {
    const LRESULT length = ::SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The list opens wide enough for its longest server (a note after a name, an
// nts:// name with its port), however narrow the closed drop list is.
void fitDroppedWidth(HWND combo) {
    HDC dc = ::GetDC(combo);
    if (dc == nullptr)
        return;
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(combo, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    const LRESULT count = ::SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const std::string text = comboItemText(combo, i);
        SIZE extent{};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        widest = std::max(widest, extent.cx);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(combo, dc);
    // The items' margins, the list's border and its scroll bar; never narrower
    // than the control (the list keeps to that itself).
    const int margins = 4 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL);
    ::SendMessageA(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
}

} // namespace

bool OptionsPage::onCommand(int id, int code, HWND control) {
    return owner_.onPageCommand(id, code, control);
}

OptionsDialog::OptionsDialog(HINSTANCE instance, Settings& settings, OptionsHost& host)
    : instance_(instance), settings_(settings),
      host_(host), pages_{{OptionsPage{*this}, OptionsPage{*this}, OptionsPage{*this}}} {}

INT_PTR OptionsDialog::run(HWND owner) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&classes);
    return runModal(instance_, IDD_OPTIONS, owner);
}

bool OptionsDialog::onInit() {
    const std::string title = std::string(kProgramName) + " Options";
    ::SetWindowTextA(window(), title.c_str());
    bigIcon_ = setBigIcon(window(), instance_, IDI_APP);

    HWND tabs = item(IDC_TABS);
    for (int i = 0; i < 3; ++i) {
        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(kTabTexts[i]);
        ::SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(&tab));
    }
    createPages();
    showView();
    showServiceSchedule();
    selectPage(0, true);
    ::SetFocus(item(IDC_APPLY));
    return false; // the focus is set
}

void OptionsDialog::createPages() {
    for (int i = 0; i < 3; ++i) {
        HWND page = pages_[i].create(instance_, kPageTemplates[i], window());
        // Above the tab control, which would otherwise paint over it; its
        // controls come first in the tab order, the buttons and tabs after.
        ::SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::ShowWindow(page, SW_HIDE);
    }
}

OptionsPage& OptionsDialog::pageOf(int id) {
    for (OptionsPage& page : pages_)
        if (page.item(id) != nullptr)
            return page;
    return pages_[0]; // an id on no page: the calls on it do nothing
}

void OptionsDialog::showView() {
    const OptionsView view = initialView(settings_);
    for (const auto& [id, on] : view.checked)
        pageOf(id).check(id, on);
    for (const auto& [id, on] : view.enabled)
        pageOf(id).enable(id, on);
    for (const auto& [id, text] : view.texts)
        pageOf(id).setText(id, text);

    HWND servers = pageOf(IDC_SERVER_LIST).item(IDC_SERVER_LIST);
    for (const std::string& server : view.servers)
        ::SendMessageA(servers, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(server.c_str()));
    ::SendMessageA(servers, CB_SETCURSEL, static_cast<WPARAM>(view.serverSelection), 0);
    fitDroppedWidth(servers);

    for (const NumberList& list : kNumberLists) {
        HWND numbers = pageOf(list.id).item(list.id);
        for (int n = 1; n <= list.highest; ++n)
            ::SendMessageA(numbers, CB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(std::to_string(n).c_str()));
        ::SendMessageA(numbers, CB_SETCURSEL, static_cast<WPARAM>(view.numbers.at(list.id) - 1), 0);
    }
    ::SendMessageA(pageOf(IDC_MAXIMUM_CHANGE).item(IDC_MAXIMUM_CHANGE), EM_LIMITTEXT,
                   kLongestLimitText, 0);
    // What an empty CA file means, in grey inside the edit (common controls 6).
    ::SendMessageW(pageOf(IDC_NTS_CA_FILE).item(IDC_NTS_CA_FILE), EM_SETCUEBANNER, TRUE,
                   reinterpret_cast<LPARAM>(L"the Windows certificate store"));

    for (const StylePreview& preview : kStylePreviews) {
        const Pictures pictures = picturesForStyle(preview.timeStyle);
        pageOf(preview.id)
            .setText(preview.id, lib::pcTimeAndDate(settings_.displayLocalTime, pictures.date,
                                                    pictures.time, preview.separator));
    }
}

// While the Tickwell Time service keeps the clock on its own schedule, the
// program's own is not needed: the page says so instead of offering it.
void OptionsDialog::showServiceSchedule() {
    const service::ClientAnswer answer =
        timeService().ask(service::Request{service::Verb::Status, {}}, kServiceStatusWaitMs);
    if (!answer.reply || answer.reply->result != service::Reply::Result::Ok ||
        !answer.reply->schedule)
        return;
    const service::Reply& status = *answer.reply;
    OptionsPage& page = pageOf(IDC_SERVICE_SCHEDULE);
    for (int id : autoSetChoices())
        ::ShowWindow(page.item(id), SW_HIDE);
    page.setText(IDC_SERVICE_SCHEDULE,
                 serviceScheduleText(status.nextCheck, status.lastOutcomeAt, status.lastOutcome));
    ::ShowWindow(page.item(IDC_SERVICE_SCHEDULE), SW_SHOWNA);
}

void OptionsDialog::refreshEnabling() {
    ControlStates checked;
    for (int id : {IDC_RUN_IN_TRAY, IDC_ROTATE_ICONS, IDC_AUTOSET_NONE, IDC_USE_PROXY})
        checked[id] = pageOf(id).isChecked(id);
    for (const auto& [id, on] : enablingFor(checked, pageOf(IDC_TIME_PORT).text(IDC_TIME_PORT)))
        pageOf(id).enable(id, on);
}

void OptionsDialog::markChanged() {
    enable(IDC_APPLY, true);
}

void OptionsDialog::selectPage(int index, bool shown) {
    if (index < 0 || index >= static_cast<int>(pages_.size()))
        return;
    if (shown)
        ::SendMessageA(item(IDC_TABS), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::ShowWindow(pages_[index].window(), shown ? SW_SHOW : SW_HIDE);
}

bool OptionsDialog::onNotify(const NMHDR& header) {
    if (header.idFrom != IDC_TABS)
        return false;
    const int selected = static_cast<int>(::SendMessageA(item(IDC_TABS), TCM_GETCURSEL, 0, 0));
    switch (header.code) {
    case TCN_SELCHANGING:
        if (selected >= 0 && selected < static_cast<int>(pages_.size()))
            ::ShowWindow(pages_[selected].window(), SW_HIDE);
        setResult(FALSE); // let the selection change
        return true;
    case TCN_SELCHANGE:
        if (selected >= 0 && selected < static_cast<int>(pages_.size()))
            ::ShowWindow(pages_[selected].window(), SW_SHOW);
        return true;
    default:
        return false;
    }
}

bool OptionsDialog::onCommand(int id, int code, HWND /*control*/) {
    switch (id) {
    case IDOK:
        // OK is Apply and close; a refused number keeps the dialog open to be mended.
        if (isEnabled(IDC_APPLY) && !apply())
            return true;
        end(1);
        return true;
    case IDCANCEL:
        end(0);
        return true;
    case IDC_APPLY:
        if (code == BN_CLICKED && isEnabled(IDC_APPLY))
            apply();
        return true;
    default:
        return false;
    }
}

bool OptionsDialog::onPageCommand(int id, int code, HWND /*control*/) {
    if (id == IDC_SERVER_LIST) {
        // The drop list and its button share the id: the button's click is code 0.
        if (code == BN_CLICKED)
            addServer();
        else if (code == CBN_SELENDOK)
            chooseServer();
        return true;
    }
    if (contains(kEditFields, id)) {
        if (code == EN_CHANGE) {
            if (id == IDC_TIME_PORT)
                refreshEnabling(); // the samples per server follow the port as it is typed
            markChanged();
        }
        return true;
    }
    if (std::ranges::any_of(kNumberLists, [id](const NumberList& list) { return list.id == id; })) {
        if (code == CBN_SELCHANGE)
            markChanged();
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    if (id == IDC_NTS_CA_BROWSE) {
        browseNtsCaFile(); // the edit's change marks the dialog changed
        return true;
    }
    if (id == IDC_CHOOSE_TRAY_ICON) {
        if (TrayIconChooser(instance_, settings_, host_.pendingTrayIcon).run(window()) == 1 &&
            host_.trayIconChanged)
            host_.trayIconChanged();
        markChanged();
        return true;
    }
    if (changesEnabling(id)) {
        refreshEnabling();
        if (id == IDC_AUTOSET_NONE && !pageOf(id).isChecked(id)) {
            // Auto-set on again: the interval in force, or "12 hours" when no option names it.
            ::CheckRadioButton(pageOf(id).window(), IDC_INTERVAL_30, IDC_INTERVAL_43200,
                               intervalOption(settings_.interval));
        }
        markChanged();
        return true;
    }
    if (contains(kOptionBoxes, id)) {
        markChanged();
        return true;
    }
    return false;
}

void OptionsDialog::chooseServer() {
    HWND servers = pageOf(IDC_SERVER_LIST).item(IDC_SERVER_LIST);
    const LRESULT index = ::SendMessageA(servers, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return;
    const std::string chosen = comboItemText(servers, index);
    // A server listed twice shows as its first entry, as Apply will find it.
    ::SendMessageA(servers, CB_SETCURSEL, static_cast<WPARAM>(serverPosition(settings_, chosen)),
                   0);
    if (!chosen.empty())
        settings_.currentServer = chosen; // at once: a Check before Apply asks this server
    markChanged();
}

void OptionsDialog::addServer() {
    if (AddServerDialog(instance_, settings_).run(window()) != 1)
        return;
    // The new server is the current one: the drop list shows it, so Apply keeps it.
    HWND servers = pageOf(IDC_SERVER_LIST).item(IDC_SERVER_LIST);
    const LRESULT index = ::SendMessageA(servers, CB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(settings_.currentServer.c_str()));
    ::SendMessageA(servers, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    fitDroppedWidth(servers);
    markChanged();
}

// The common Open dialog for the CA file, starting where the one named lies.
void OptionsDialog::browseNtsCaFile() {
    OptionsPage& page = pageOf(IDC_NTS_CA_FILE);
    char file[MAX_PATH] = "";
    const std::string named = page.text(IDC_NTS_CA_FILE);
    if (named.size() < sizeof file)
        named.copy(file, named.size());
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window();
    dialog.lpstrFilter = "Certificates (*.pem, *.crt)\0*.pem;*.crt\0All files\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrTitle = "The CA file for NTS servers";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (::GetOpenFileNameA(&dialog))
        page.setText(IDC_NTS_CA_FILE, file);
}

bool OptionsDialog::apply() {
    OptionsInput input;
    for (int id : kOptionBoxes)
        input.checked[id] = pageOf(id).isChecked(id);
    for (int id : kEditFields)
        input.texts[id] = pageOf(id).text(id);
    input.shownServer = pageOf(IDC_SERVER_LIST).text(IDC_SERVER_LIST);
    for (const NumberList& list : kNumberLists) {
        const LRESULT index = ::SendMessageA(pageOf(list.id).item(list.id), CB_GETCURSEL, 0, 0);
        input.numbers[list.id] = index == CB_ERR ? 0 : static_cast<int>(index) + 1;
    }

    ApplyOutcome outcome = planApply(settings_, input);
    if (outcome.refusal) {
        const Refusal& refusal = *outcome.refusal;
        pageOf(refusal.field).setText(refusal.field, refusal.restoredText);
        messageBox().show(window(), refusal.message.c_str(), kProgramName,
                          MB_ICONEXCLAMATION | MB_OK);
        return false;
    }

    Settings& next = outcome.settings;
    const bool wanted = next.startWithWindows;
    const bool starts = applyRunEntry(next);
    next.startWithWindows = starts;
    pageOf(IDC_START_WITH_WINDOWS).check(IDC_START_WITH_WINDOWS, starts);
    if (outcome.nextCheckDue)
        next.nextCheckText = nextScheduledCheckText(next.interval);

    settings_ = std::move(next);
    if (host_.showStatusBar)
        host_.showStatusBar(settings_.showStatusBar);
    SaveSettings(settings_);
    enable(IDC_APPLY, false);
    if (host_.settingsApplied)
        host_.settingsApplied();

    // Said once everything is applied: the message box lets the main window tick.
    if (starts != wanted) {
        const std::string text =
            wanted ? std::string(kProgramName) +
                         " cannot start with Windows: the registry refused its Run entry, for "
                         "every user and for you."
                   : std::string(kProgramName) +
                         " still starts with Windows: the registry refused to remove its Run "
                         "entry for every user. An administrator can remove it.";
        messageBox().show(window(), text.c_str(), kProgramName, MB_ICONEXCLAMATION | MB_OK);
    }
    return true;
}

} // namespace tickwell
