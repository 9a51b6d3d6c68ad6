// Takes over an existing control window with SetWindowSubclass. The subclass's reference data is
// the object itself, so no map from window to object is needed.
#pragma once

#include <windows.h>

namespace kw {

// Messages a dialog sends back to the control a notification came from: kReflectBase + the
// original message, same wParam and lParam. A control that consumes one answers nonzero.
constexpr UINT kReflectBase = WM_USER + 0x1C00;
constexpr UINT kReflectedCommand = kReflectBase + WM_COMMAND;
constexpr UINT kReflectedNotify = kReflectBase + WM_NOTIFY;
constexpr UINT kReflectedCtlColorStatic = kReflectBase + WM_CTLCOLORSTATIC;

class WindowSubclass {
public:
    WindowSubclass() = default;
    virtual ~WindowSubclass();
    WindowSubclass(const WindowSubclass&) = delete;
    WindowSubclass& operator=(const WindowSubclass&) = delete;

    // Starts handling the control's messages; false when the window does not exist or is
    // already taken over by this object.
    bool Subclass(HWND window);
    // Gives the control back to its own window procedure and calls OnUnsubclassed. Also happens
    // when the window is destroyed. The base destructor only lets go of the window (the derived
    // part is gone by then), so a class that overrides OnUnsubclassed calls Unsubclass() from its
    // own destructor.
    void Unsubclass();

    HWND Handle() const { return window_; }

protected:
    // Handles one message. Whatever is not handled goes to DefaultProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the subclass has been removed; the window may be on its way out.
    virtual void OnUnsubclassed(HWND window) {}

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR refData);
    // Removes the subclass without calling anything virtual; the window it held, or null.
    HWND Release();

    HWND window_ = nullptr;
};

}  // namespace kw
