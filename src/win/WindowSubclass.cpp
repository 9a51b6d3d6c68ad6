#include "win/WindowSubclass.h"

#include <commctrl.h>

namespace kw {

namespace {
constexpr UINT_PTR kSubclassId = 0x4B57;  // "KW"
}

WindowSubclass::~WindowSubclass() { Unsubclass(); }

bool WindowSubclass::Subclass(HWND window) {
    if (window == nullptr || !IsWindow(window) || window_ != nullptr) return false;
    if (!SetWindowSubclass(window, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    window_ = window;
    return true;
}

void WindowSubclass::Unsubclass() {
    if (window_ == nullptr) return;
    HWND window = window_;
    RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
    window_ = nullptr;
    OnUnsubclassed(window);
}

LRESULT WindowSubclass::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(message, wParam, lParam);
}

LRESULT WindowSubclass::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(window_, message, wParam, lParam);
}

LRESULT CALLBACK WindowSubclass::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR, DWORD_PTR refData) {
    auto* self = reinterpret_cast<WindowSubclass*>(refData);
    if (self == nullptr || self->window_ != window) return DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Let the control clean up first, then drop the subclass so no message reaches a
        // dangling object.
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        self->Unsubclass();
        return result;
    }
    // Nothing may unwind through the system's dispatch code.
    try {
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

}  // namespace kw
