// Base of the program's dialogs: a window made from a dialog template, modal or modeless, whose
// messages go to virtual handlers of the object.
#pragma once

#include <windows.h>

namespace kw {

class Dialog {
public:
    explicit Dialog(UINT templateId);
    // A template built in memory; it must outlive the window.
    explicit Dialog(const DLGTEMPLATE* memoryTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally and returns the result given to End, or -1 when the dialog could
    // not be created.
    INT_PTR RunModal(HWND parent);
    // Creates the dialog modeless (used by tests and by owners that pump their own messages).
    // The window is not shown unless the template says so.
    HWND Create(HWND parent);
    // Ends a modal run with the result, or destroys a modeless dialog.
    void End(INT_PTR result);

    HWND Handle() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    // The result passed to End, also for a modeless dialog after it has ended.
    INT_PTR Result() const { return result_; }
    bool Ended() const { return ended_; }

protected:
    // Return true to let the dialog manager put the focus on the first control.
    virtual bool OnInitDialog() { return true; }
    // Return true when handled. Unhandled IDOK and IDCANCEL end the dialog with that result.
    virtual bool OnCommand(int id, int code, HWND control) { return false; }
    // Return true when handled; result is what the sender receives.
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result) { return false; }
    // Everything else. Return true when handled; result is the message's answer.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
    // The window is gone (after WM_NCDESTROY).
    virtual void OnDestroyed() {}

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Answer(UINT message, LRESULT result);
    static LRESULT Reflect(HWND dialog, HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_ = 0;
    const DLGTEMPLATE* memoryTemplate_ = nullptr;
    HWND window_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

}  // namespace kw
