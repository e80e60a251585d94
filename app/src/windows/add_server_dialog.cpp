#include "add_server_dialog.h"

#include "identity.h"
#include "program_ids.h"
#include "program_seams.h"
#include "program_title.h"
#include "server_list.h"
#include "settings_store.h"

#include <commctrl.h>

#include <string>

namespace tickwell {

AddServerDialog::AddServerDialog(HINSTANCE instance, Settings& settings)
    : instance_(instance), settings_(settings) {}

INT_PTR AddServerDialog::run(HWND owner) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&classes);
    return runModal(instance_, IDD_ADD_SERVER, owner);
}

bool AddServerDialog::onInit() {
    bigIcon_ = setBigIcon(window(), instance_, IDI_ADD_SERVER_BIG);
    return true;
}

bool AddServerDialog::onCommand(int id, int code, HWND /*control*/) {
    switch (id) {
    case IDC_ADD:
        if (code == BN_CLICKED)
            add();
        return true;
    case IDCANCEL:
        end(0);
        return true;
    default:
        return false;
    }
}

void AddServerDialog::add() {
    DWORD address = 0;
    HWND addressControl = item(IDC_SERVER_ADDRESS);
    if (::SendMessageA(addressControl, IPM_ISBLANK, 0, 0) == 0)
        ::SendMessageA(addressControl, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    const AddServerDecision decision =
        decideAddServer(settings_.serverCount, text(IDC_SERVER_NAME), address);
    switch (decision.kind) {
    case AddServerDecision::Kind::NothingEntered:
        ::SetFocus(item(IDC_SERVER_NAME));
        return;
    case AddServerDecision::Kind::ListFull: {
        const std::string message = "The list holds " + std::to_string(kMaxServers) +
                                    " servers, as many as it can: no server was added.";
        messageBox().show(window(), message.c_str(), kProgramName, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    case AddServerDecision::Kind::Add:
        appendServer(settings_, decision.name);
        saveAddedServer(settings_);
        end(1);
        return;
    }
}

} // namespace tickwell
