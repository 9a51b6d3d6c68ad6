#include "win/WindowSubclass.h"

#include <commctrl.h>

namespace kw {

namespace {
// Each object is its own subclass id: with one shared id a second object on the same control
// would silently replace the first, and either one letting go would detach both.
UINT_PTR SubclassId(const WindowSubclass* self) { return reinterpret_cast<UINT_PTR>(self); }
}  // namespace

WindowSubclass::~WindowSubclass() { Release(); }

bool WindowSubclass::Subclass(HWND window) {
    if (window == nullptr || !IsWindow(window) || window_ != nullptr) return false;
    if (!SetWindowSubclass(window, &SubclassProc, SubclassId(this), reinterpret_cast<DWORD_PTR>(this)))
        return false;
    window_ = window;
    return true;
}

void WindowSubclass::Unsubclass() {
    if (HWND window = Release()) OnUnsubclassed(window);
}

HWND WindowSubclass::Release() {
    if (window_ == nullptr) return nullptr;
    HWND window = window_;
    RemoveWindowSubclass(window, &SubclassProc, SubclassId(this));
    window_ = nullptr;
    return window;
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
        try {
            self->Unsubclass();
        } catch (...) {
            // The hold is gone already; only the object's own clean-up failed.
        }
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
