// The About box: icon, program name and version, two credit lines, the maker's
// web address (a link that opens it) and OK. Modal, centred on its owner. Its
// layout is a template in zym's resource script (about_box.rc), its ids in
// about_box_ids.h.
#pragma once

#include "about_box_ids.h"

#include <windows.h>

#include <string>

namespace zym {

struct AboutContent {
    std::string programName;
    std::string version;
    std::string credit1;
    std::string credit2;
    std::string webAddress;
    HICON icon = nullptr; // the caller's; shown, never destroyed here
};

enum class WebAddressStyle {
    LinkWhenAvailable, // a SysLink when the common controls offer one, else plain text
    PlainText,         // a static text that opens the address when clicked
};

// Caption of the About box window: "About " + programName.
std::string aboutCaption(const std::string& programName);

// Shows the About box until OK, Escape or the close box ends it. owner may be NULL
// or no window at all (then the box has no owner and is centred on the screen).
// False when the box could not be created.
bool showAboutBox(HWND owner, const AboutContent& content,
                  WebAddressStyle style = WebAddressStyle::LinkWhenAvailable);

} // namespace zym
