// The About box: icon, program name and version, two credit lines, the maker's
// web address (a link that opens it) and OK. Modal, centred on its owner.
#pragma once

#include <windows.h>

#include <string>

namespace zym {

// Control ids of the About box; OK is IDOK.
namespace about_ids {
constexpr int kIcon = 101;
constexpr int kProgramName = 102;
constexpr int kVersion = 103;
constexpr int kCredit1 = 104;
constexpr int kCredit2 = 105;
constexpr int kWebAddress = 106;
} // namespace about_ids

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
