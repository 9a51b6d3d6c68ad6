// An edit field that tells its owner when the keyboard focus leaves it, so the package editor can
// hand a project's settings to the document field by field.
#pragma once

#include <windows.h>

#include "win/WindowSubclass.h"

namespace kw {

// Sent (synchronously) to the owner when a NotifyingEdit loses the focus while notifyOnLeave is
// on: wParam = the field's control id, lParam = 0. Its value is DM_SETDEFID's too, so an owner
// that is a dialog must answer it itself and never leave it to the dialog manager.
constexpr UINT WM_EDIT_LEFT = WM_USER + 1;

class NotifyingEdit : public WindowSubclass {
public:
    // Takes over the edit control with this id in the dialog.
    bool Attach(HWND dialog, int id);

    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }
    // Off at construction.
    void SetNotifyOnLeave(bool notify) { notifyOnLeave_ = notify; }
    bool NotifyOnLeave() const { return notifyOnLeave_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND owner_ = nullptr;
    bool notifyOnLeave_ = false;
};

}  // namespace kw
