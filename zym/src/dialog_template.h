// Dialogs built in code: a layout table in dialog units becomes the in-memory
// template that DialogBoxIndirectParam and CreateDialogIndirectParam take, so no
// resource script is needed.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>
#include <vector>

namespace zym {

// The window classes a layout can use. Link is the common controls' SysLink.
enum class ControlKind { Button, Edit, Static, ListBox, ScrollBar, ComboBox, Link };

// One row of a layout table. Every control is a visible child; style adds to that.
struct DialogControl {
    int id;
    ControlKind kind;
    std::wstring_view caption;
    short x, y, width, height; // dialog units
    DWORD style;
};

// The dialog window itself. With a face name the template carries DS_SETFONT.
struct DialogFrame {
    std::wstring_view title;
    DWORD style;
    short x, y, width, height; // dialog units
    std::wstring_view fontFace;
    WORD fontPoints;
};

// The template for frame and controls, DWORD-aligned as the dialog manager requires.
// Captions are Unicode in every template, also for the ANSI dialog functions.
std::vector<WORD> buildDialogTemplate(const DialogFrame& frame,
                                      std::span<const DialogControl> controls);

} // namespace zym
