// The menus as tables. The View and Help pop-ups stand in the menu bar and in
// the tray menu; each menu gets its own copy, since a menu destroys its
// pop-ups with it.
#include "main_menus.h"

#include "identity.h"
#include "program_ids.h"

#include <span>
#include <string>

namespace tickwell {

namespace {

struct MenuEntry {
    enum class Kind { Item, Separator, ViewMenu, HelpMenu } kind;
    int command = 0;
    const char* text = nullptr;
};
using Entry = MenuEntry;
constexpr Entry kSeparator{Entry::Kind::Separator};
constexpr Entry kFileEntries[] = {{Entry::Kind::Item, CMD_CHECK, kCheckText},
                                  {Entry::Kind::Item, CMD_SET, kSetText},
                                  kSeparator,
                                  {Entry::Kind::Item, CMD_UPDATES, "&Check for Updates"},
                                  kSeparator,
                                  {Entry::Kind::Item, CMD_EXIT, "E&xit"}};
constexpr Entry kViewEntries[] = {{Entry::Kind::Item, CMD_STATUSBAR_TOGGLE, "&Status Bar"},
                                  {Entry::Kind::Item, CMD_LOGFILE, "&Log File"},
                                  {Entry::Kind::Item, CMD_HISTORY, "&History..."},
                                  {Entry::Kind::Item, CMD_OPTIONS, "&Options"}};
constexpr Entry kTrayEntries[] = {{Entry::Kind::Item, CMD_CHECK, kCheckText},
                                  {Entry::Kind::Item, CMD_SET, kSetText},
                                  kSeparator,
                                  {Entry::Kind::ViewMenu, 0, "&View"},
                                  kSeparator,
                                  {Entry::Kind::HelpMenu, 0, "&Help"},
                                  kSeparator,
                                  {Entry::Kind::Item, CMD_RESTORE, "&Restore"},
                                  kSeparator,
                                  {Entry::Kind::Item, CMD_EXIT, "E&xit"}};

HMENU popupMenu(std::span<const Entry> entries, bool statusBarShown);

HMENU helpMenu() {
    const std::string about = std::string("&About ") + kProgramName;
    const Entry entries[] = {{Entry::Kind::Item, CMD_HELP, "&Help"},
                             kSeparator,
                             {Entry::Kind::Item, CMD_ABOUT, about.c_str()}};
    return popupMenu(entries, false);
}

HMENU popupMenu(std::span<const Entry> entries, bool statusBarShown) {
    HMENU menu = ::CreatePopupMenu();
    for (const Entry& e : entries) {
        switch (e.kind) {
        case Entry::Kind::Item:
            ::AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(e.command), e.text);
            break;
        case Entry::Kind::Separator:
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            break;
        case Entry::Kind::ViewMenu:
        case Entry::Kind::HelpMenu: {
            HMENU sub = e.kind == Entry::Kind::ViewMenu ? popupMenu(kViewEntries, statusBarShown)
                                                        : helpMenu();
            ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), e.text);
            break;
        }
        }
    }
    ::CheckMenuItem(menu, CMD_STATUSBAR_TOGGLE,
                    MF_BYCOMMAND | (statusBarShown ? MF_CHECKED : MF_UNCHECKED));
    return menu;
}

} // namespace

HMENU buildMenuBar(bool statusBarShown) {
    HMENU bar = ::CreateMenu();
    ::AppendMenuA(bar, MF_POPUP,
                  reinterpret_cast<UINT_PTR>(popupMenu(kFileEntries, statusBarShown)), "&File");
    ::AppendMenuA(bar, MF_POPUP,
                  reinterpret_cast<UINT_PTR>(popupMenu(kViewEntries, statusBarShown)), "&View");
    ::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu()), "&Help");
    return bar;
}

HMENU buildTrayMenu(bool statusBarShown) {
    return popupMenu(kTrayEntries, statusBarShown);
}

} // namespace tickwell
