// Base of the program's dialogs: a window made from a dialog template, modal or modeless, whose
// messages go to virtual handlers of the object.
#pragma once

#include <windows.h>

#include <string>

namespace kw {

// Direction of a data exchange between a dialog's members and its controls.
enum class Exchange { Read, Write };

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
    // Copy every control's state into the members, or every member into its control.
    void ReadControls() { ExchangeControls(Exchange::Read); }
    void WriteControls() { ExchangeControls(Exchange::Write); }

    // The result passed to End, also for a modeless dialog after it has ended.
    INT_PTR Result() const { return result_; }
    bool Ended() const { return ended_; }

protected:
    // Return true to let the dialog manager put the focus on the first control.
    virtual bool OnInitDialog() { return true; }
    // The one data-exchange routine of a dialog, built from the two helpers below.
    virtual void ExchangeControls(Exchange direction) {}
    // Check box <-> 0/1.
    void ExchangeCheck(Exchange direction, int id, int& value);
    // Edit field (or any control's text) <-> string.
    void ExchangeText(Exchange direction, int id, std::wstring& value);

    // Return true when handled. An unhandled IDOK reads the controls and ends the dialog with
    // IDOK; an unhandled IDCANCEL ends it with IDCANCEL.
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
