// Move-only owners for kernel handles, GDI objects, image lists, icons, windows, modules and
// registry keys.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace kw {

// Owns a kernel handle. Invalid is INVALID_HANDLE_VALUE for files and nullptr for the others,
// so both count as "no handle".
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() { Reset(); }
    KernelHandle(KernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

using FileHandle = KernelHandle;

// Owns one handle of a kind that has a single release function; move-only. Close(handle) is
// called only for non-null handles.
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
    explicit operator bool() const { return handle_ != nullptr; }
    T Release() { return std::exchange(handle_, nullptr); }
    void Reset(T handle = nullptr) {
        T old = std::exchange(handle_, handle);
        if (old != nullptr && old != handle) Traits::Close(old);
    }

private:
    T handle_ = nullptr;
};

struct GdiObjectTraits { static void Close(HGDIOBJ object) { DeleteObject(object); } };
struct ImageListTraits { static void Close(HIMAGELIST list) { ImageList_Destroy(list); } };
// Cursors made by CopyIcon are icons to the system, so DestroyIcon releases them too.
struct IconTraits { static void Close(HICON icon) { DestroyIcon(icon); } };
struct WindowTraits { static void Close(HWND window) { if (IsWindow(window)) DestroyWindow(window); } };
struct ModuleTraits { static void Close(HMODULE module) { FreeLibrary(module); } };
struct RegKeyTraits { static void Close(HKEY key) { RegCloseKey(key); } };

using FontHandle = UniqueHandle<HFONT, GdiObjectTraits>;
using BrushHandle = UniqueHandle<HBRUSH, GdiObjectTraits>;
using BitmapHandle = UniqueHandle<HBITMAP, GdiObjectTraits>;
using ImageListHandle = UniqueHandle<HIMAGELIST, ImageListTraits>;
using IconHandle = UniqueHandle<HICON, IconTraits>;
using CursorHandle = UniqueHandle<HCURSOR, IconTraits>;
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
