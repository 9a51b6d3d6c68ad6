// Move-only owners for kernel handles, GDI objects, image lists, cursors, windows, modules and
// registry keys.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace kw {

// Owns one handle of a kind that has a single release function; move-only. Traits::Close(handle)
// is called once, only for a handle Traits::Holds counts as one.
template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T Get() const { return handle_; }
    bool Valid() const { return Traits::Holds(handle_); }
    explicit operator bool() const { return Valid(); }
    T Release() { return std::exchange(handle_, nullptr); }
    void Reset(T handle = nullptr) {
        T old = std::exchange(handle_, handle);
        if (Traits::Holds(old) && old != handle) Traits::Close(old);
    }
    // For functions that hand a new handle out through a pointer; the old one is released first.
    T* Out() {
        Reset();
        return &handle_;
    }

private:
    T handle_ = nullptr;
};

// Most kinds have nullptr as their only "no handle".
struct NullMeansNone {
    template <typename T>
    static bool Holds(T handle) { return handle != nullptr; }
};

// Kernel handles: files answer INVALID_HANDLE_VALUE where the others answer nullptr, so both
// count as "no handle".
struct KernelHandleTraits {
    static bool Holds(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct GdiObjectTraits : NullMeansNone { static void Close(HGDIOBJ object) { DeleteObject(object); } };
struct ImageListTraits : NullMeansNone { static void Close(HIMAGELIST list) { ImageList_Destroy(list); } };
// Cursors made by CopyIcon are icons to the system, so DestroyIcon releases them.
struct CursorTraits : NullMeansNone { static void Close(HCURSOR cursor) { DestroyIcon(cursor); } };
struct WindowTraits : NullMeansNone { static void Close(HWND window) { if (IsWindow(window)) DestroyWindow(window); } };
struct ModuleTraits : NullMeansNone { static void Close(HMODULE module) { FreeLibrary(module); } };
struct RegKeyTraits : NullMeansNone { static void Close(HKEY key) { RegCloseKey(key); } };

using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using FileHandle = KernelHandle;
using FontHandle = UniqueHandle<HFONT, GdiObjectTraits>;
using ImageListHandle = UniqueHandle<HIMAGELIST, ImageListTraits>;
using CursorHandle = UniqueHandle<HCURSOR, CursorTraits>;
using WindowHandle = UniqueHandle<HWND, WindowTraits>;
using ModuleHandle = UniqueHandle<HMODULE, ModuleTraits>;
using RegKeyHandle = UniqueHandle<HKEY, RegKeyTraits>;

// Selects a GDI object into a device context and puts the previous one back on destruction.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's device context from GetDC, released on destruction.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace kw
