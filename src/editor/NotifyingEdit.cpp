#include "editor/NotifyingEdit.h"

namespace kw {

bool NotifyingEdit::Attach(HWND dialog, int id) { return Subclass(GetDlgItem(dialog, id)); }

LRESULT NotifyingEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kReflectedCommand) return DefaultProc(message, wParam, lParam);
    // The field's own notifications, handed back by the dialog it sits in.
    if (HIWORD(wParam) == EN_KILLFOCUS && notifyOnLeave_ && owner_ != nullptr && IsWindow(owner_)) {
        SendMessageW(owner_, WM_EDIT_LEFT, static_cast<WPARAM>(GetDlgCtrlID(Handle())), 0);
    }
    // Not consumed: the dialog still sees the notification.
    return 0;
}

}  // namespace kw
