// The one dialog base of the product. A dialog is a template in a resource script
// (its layout, in dialog units) plus a handler class derived from Dialog: the
// static procedure binds the object to its window when the dialog starts and
// hands each message to a virtual handler. Nothing may throw across the dialog
// manager, so the procedure catches at its edge; unless the dialog chooses to
// carry on (onFailure), it is ended (a modeless one is destroyed).
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace tw {

class Dialog {
  public:
    Dialog() = default;
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; the result EndDialog gave, or -1 when the template
    // could not be made into a window.
    INT_PTR runModal(HINSTANCE instance, int templateId, HWND owner) {
        return ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, &Dialog::procedure,
                                 reinterpret_cast<LPARAM>(this));
    }

    // Creates the dialog modeless, as a child when its template says so (a page
    // of another dialog); null when the template could not be made into a
    // window. It lives until destroy() or its parent's end.
    HWND create(HINSTANCE instance, int templateId, HWND parent) {
        modeless_ = true;
        return ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent,
                                    &Dialog::procedure, reinterpret_cast<LPARAM>(this));
    }
    void destroy() {
        if (window_ != nullptr)
            ::DestroyWindow(window_);
    }

    HWND window() const { return window_; }

  protected:
    // WM_INITDIALOG. True: the dialog manager gives the first control the focus.
    virtual bool onInit() { return true; }
    // WM_COMMAND. True when handled.
    virtual bool onCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // WM_TIMER. True when handled.
    virtual bool onTimer(UINT_PTR /*timerId*/) { return false; }
    // WM_NOTIFY. True when handled; the notification's result goes in setResult.
    virtual bool onNotify(const NMHDR& /*header*/) { return false; }
    // WM_DESTROY, while the controls still exist.
    virtual void onDestroy() {}
    // Every other message. The value the dialog procedure returns: 0 for default
    // processing, non-zero when handled (or the brush of a WM_CTLCOLOR* answer).
    virtual INT_PTR onMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return 0; }
    // A message was about to escape as an exception: the dialog ends with this.
    virtual INT_PTR failureResult() const { return -1; }
    // A handler threw `what` while handling a message after WM_INITDIALOG: true
    // to carry on (the message counts as not handled), false to end the dialog.
    virtual bool onFailure(const char* /*what*/) { return false; }

    void end(INT_PTR result) { ::EndDialog(window_, result); }
    // The result of a message whose answer is not the procedure's return value.
    void setResult(LRESULT result) { ::SetWindowLongPtrA(window_, DWLP_MSGRESULT, result); }

    HWND item(int id) const { return ::GetDlgItem(window_, id); }
    void setText(int id, const std::string& text) const {
        ::SetDlgItemTextA(window_, id, text.c_str());
    }
    std::string text(int id) const {
        HWND control = item(id);
        const int length = control ? ::GetWindowTextLengthA(control) : 0;
        std::string value(static_cast<size_t>(length) + 1, '\0');
        const int copied = control ? ::GetWindowTextA(control, value.data(), length + 1) : 0;
        value.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        return value;
    }
    void check(int id, bool on) const {
        ::CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    bool isChecked(int id) const { return ::IsDlgButtonChecked(window_, id) == BST_CHECKED; }
    void enable(int id, bool on) const { ::EnableWindow(item(id), on ? TRUE : FALSE); }
    bool isEnabled(int id) const { return ::IsWindowEnabled(item(id)) != FALSE; }
    void show(int id, bool on) const { ::ShowWindow(item(id), on ? SW_SHOW : SW_HIDE); }
    // A length in dialog units as pixels of this dialog.
    SIZE dialogUnits(int width, int height) const {
        RECT r{0, 0, width, height};
        ::MapDialogRect(window_, &r);
        return SIZE{r.right, r.bottom};
    }

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        Dialog* self = nullptr;
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<Dialog*>(lParam);
            ::SetWindowLongPtrA(window, DWLP_USER, lParam);
            self->window_ = window;
        } else {
            self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
        }
        if (self == nullptr) // messages that come before WM_INITDIALOG
            return FALSE;
        std::string what;
        try {
            return self->dispatch(message, wParam, lParam);
        } catch (const std::exception& e) {
            try {
                what = e.what(); // the exception is gone after its handler
            } catch (...) {
            }
        } catch (...) {
        }
        // A dialog that failed while starting is half built: never carry on.
        bool carryOn = false;
        if (message != WM_INITDIALOG) {
            try {
                carryOn = self->onFailure(what.empty() ? "unknown exception" : what.c_str());
            } catch (...) {
            }
        }
        if (carryOn)
            return FALSE;
        if (self->modeless_)
            ::DestroyWindow(window);
        else
            ::EndDialog(window, self->failureResult());
        return TRUE;
    }

    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return onInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_TIMER:
            return onTimer(static_cast<UINT_PTR>(wParam)) ? TRUE : FALSE;
        case WM_NOTIFY:
            return onNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
        case WM_DESTROY:
            onDestroy();
            return FALSE;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(window_, DWLP_USER, 0);
            window_ = nullptr;
            return FALSE;
        default:
            return onMessage(message, wParam, lParam);
        }
    }

    HWND window_ = nullptr;
    bool modeless_ = false;
};

} // namespace tw
