#include "dialog_template.h"

namespace zym {

namespace {

// Class atoms the dialog manager knows for the standard controls.
constexpr WORD kAtomMarker = 0xFFFF;
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kListBoxAtom = 0x0083;
constexpr WORD kScrollBarAtom = 0x0084;
constexpr WORD kComboBoxAtom = 0x0085;
constexpr std::wstring_view kLinkClass = L"SysLink";

class TemplateWriter {
  public:
    void word(WORD value) { words_.push_back(value); }
    void dword(DWORD value) {
        word(LOWORD(value));
        word(HIWORD(value));
    }
    void text(std::wstring_view value) {
        for (wchar_t c : value)
            word(static_cast<WORD>(c));
        word(0);
    }
    // Items start on DWORD boundaries; the vector's storage itself is aligned.
    void alignToDword() {
        if (words_.size() % 2 != 0)
            word(0);
    }
    std::vector<WORD> take() { return std::move(words_); }

  private:
    std::vector<WORD> words_;
};

void writeClass(TemplateWriter& out, ControlKind kind) {
    WORD atom = 0;
    switch (kind) {
    case ControlKind::Button:
        atom = kButtonAtom;
        break;
    case ControlKind::Edit:
        atom = kEditAtom;
        break;
    case ControlKind::Static:
        atom = kStaticAtom;
        break;
    case ControlKind::ListBox:
        atom = kListBoxAtom;
        break;
    case ControlKind::ScrollBar:
        atom = kScrollBarAtom;
        break;
    case ControlKind::ComboBox:
        atom = kComboBoxAtom;
        break;
    case ControlKind::Link:
        out.text(kLinkClass);
        return;
    }
    out.word(kAtomMarker);
    out.word(atom);
}

} // namespace

std::vector<WORD> buildDialogTemplate(const DialogFrame& frame,
                                      std::span<const DialogControl> controls) {
    TemplateWriter out;
    const bool withFont = !frame.fontFace.empty();
    out.dword(frame.style | (withFont ? DS_SETFONT : 0));
    out.dword(0); // extended style
    out.word(static_cast<WORD>(controls.size()));
    out.word(static_cast<WORD>(frame.x));
    out.word(static_cast<WORD>(frame.y));
    out.word(static_cast<WORD>(frame.width));
    out.word(static_cast<WORD>(frame.height));
    out.word(0); // no menu
    out.word(0); // the dialog manager's own window class
    out.text(frame.title);
    if (withFont) {
        out.word(frame.fontPoints);
        out.text(frame.fontFace);
    }
    for (const DialogControl& control : controls) {
        out.alignToDword();
        out.dword(WS_CHILD | WS_VISIBLE | control.style);
        out.dword(0); // extended style
        out.word(static_cast<WORD>(control.x));
        out.word(static_cast<WORD>(control.y));
        out.word(static_cast<WORD>(control.width));
        out.word(static_cast<WORD>(control.height));
        out.word(static_cast<WORD>(control.id)); // IDC_STATIC (-1) becomes 0xFFFF
        writeClass(out, control.kind);
        out.text(control.caption);
        out.word(0); // no creation data
    }
    return out.take();
}

} // namespace zym
