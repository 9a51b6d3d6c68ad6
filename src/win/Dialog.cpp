#include "win/Dialog.h"

#include <commctrl.h>

#include "win/Controls.h"
#include "win/WindowSubclass.h"

namespace kw {

Dialog::Dialog(UINT templateId) : templateId_(templateId) {}
Dialog::Dialog(const DLGTEMPLATE* memoryTemplate) : memoryTemplate_(memoryTemplate) {}

Dialog::~Dialog() {
    if (window_ != nullptr) {
        // The derived parts are gone already: stop dispatching before the window goes.
        HWND window = window_;
        SetWindowLongPtrW(window, DWLP_USER, 0);
        window_ = nullptr;
        DestroyWindow(window);
    }
}

INT_PTR Dialog::RunModal(HWND parent) {
    if (window_ != nullptr) return -1;
    modal_ = true;
    ended_ = false;
    auto self = reinterpret_cast<LPARAM>(this);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (memoryTemplate_ != nullptr) return DialogBoxIndirectParamW(instance, memoryTemplate_, parent, &DialogProc, self);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), parent, &DialogProc, self);
}

HWND Dialog::Create(HWND parent) {
    if (window_ != nullptr) return nullptr;
    modal_ = false;
    ended_ = false;
    auto self = reinterpret_cast<LPARAM>(this);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (memoryTemplate_ != nullptr) return CreateDialogIndirectParamW(instance, memoryTemplate_, parent, &DialogProc, self);
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId_), parent, &DialogProc, self);
}

void Dialog::End(INT_PTR result) {
    if (window_ == nullptr) return;
    result_ = result;
    ended_ = true;
    if (modal_) {
        EndDialog(window_, result);
    } else {
        DestroyWindow(window_);
    }
}

void Dialog::ExchangeCheck(Exchange direction, int id, int& value) {
    Button box(window_, id);
    if (direction == Exchange::Read) {
        value = box.Checked() ? 1 : 0;
    } else {
        box.SetChecked(value != 0);
    }
}

void Dialog::ExchangeText(Exchange direction, int id, std::wstring& value) {
    Window control(window_, id);
    if (!control) return;
    if (direction == Exchange::Read) {
        value = control.Text();
    } else {
        control.SetText(value);
    }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;

    INT_PTR answer = FALSE;
    // No exception may unwind through the dialog manager: an unexpected one is swallowed and the
    // message left to the default handling.
    try {
        answer = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        answer = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
        try {
            self->OnDestroyed();
        } catch (...) {
        }
    }
    return answer;
}

LRESULT Dialog::Reflect(HWND dialog, HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    // Only the dialog's own children get their notifications back; a tooltip or another popup
    // that happens to notify the dialog does not.
    if (control == nullptr || !IsWindow(control) || GetAncestor(control, GA_PARENT) != dialog) return 0;
    return SendMessageW(control, kReflectBase + message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;

    case WM_COMMAND: {
        auto control = reinterpret_cast<HWND>(lParam);
        if (Reflect(window_, control, message, wParam, lParam) != 0) return TRUE;
        int id = LOWORD(wParam);
        if (OnCommand(id, HIWORD(wParam), control)) return TRUE;
        if (id == IDOK) ReadControls();
        if (id == IDOK || id == IDCANCEL) {
            End(id);
            return TRUE;
        }
        break;
    }

    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header == nullptr) break;
        result = Reflect(window_, header->hwndFrom, message, wParam, lParam);
        if (result != 0) return Answer(message, result);
        if (OnNotify(static_cast<int>(header->idFrom), header, result)) return Answer(message, result);
        break;
    }

    case WM_CTLCOLORSTATIC:
        result = Reflect(window_, reinterpret_cast<HWND>(lParam), message, wParam, lParam);
        if (result != 0) return Answer(message, result);
        break;

    default:
        break;
    }
    if (HandleMessage(message, wParam, lParam, result)) return Answer(message, result);
    return FALSE;
}

// What a dialog procedure returns for a handled message: a few messages take their answer as the
// return value itself, the rest through DWLP_MSGRESULT. Kept pointer-wide, unlike the windowsx
// macro, so a brush handle survives on 64-bit.
INT_PTR Dialog::Answer(UINT message, LRESULT result) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

}  // namespace kw
