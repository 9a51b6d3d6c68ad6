#include "win/Controls.h"

#include <climits>
#include <vector>

namespace kw {

std::wstring WindowText(HWND window) {
    if (!window) return std::wstring();
    // The length is an upper bound that may change before the read: read until the text fits.
    for (int room = GetWindowTextLengthW(window) + 1; room > 1 && room < INT_MAX / 2; room *= 2) {
        std::vector<wchar_t> buffer(static_cast<size_t>(room));
        int got = GetWindowTextW(window, buffer.data(), room);
        if (got <= 0) return std::wstring();
        if (got < room - 1) return std::wstring(buffer.data(), static_cast<size_t>(got));
        // Exactly full: it may have been cut, so ask once more with more room.
        if (GetWindowTextLengthW(window) <= got) return std::wstring(buffer.data(), static_cast<size_t>(got));
    }
    return std::wstring();
}

std::wstring ListBox::Line(int index) const {
    LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    LRESULT got = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (got == LB_ERR) return std::wstring();
    return std::wstring(buffer.data(), static_cast<size_t>(got));
}

int ListView::InsertRow(const std::wstring& text, int image, LPARAM itemData, int index, bool selected) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    if (selected) {
        item.mask |= LVIF_STATE;
        item.state = item.stateMask = LVIS_SELECTED;
    }
    item.iItem = index == INT_MAX ? Count() : index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = image;
    item.lParam = itemData;
    return static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::wstring ListView::RowText(int index) const {
    // LVM_GETITEMTEXT answers the length copied; grow until the text fits.
    for (size_t size = 256;; size *= 2) {
        std::vector<wchar_t> buffer(size);
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(size);
        LRESULT got = Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        if (got < 0) return std::wstring();
        if (static_cast<size_t>(got) + 1 < size || size >= (1u << 20)) {
            return std::wstring(buffer.data(), static_cast<size_t>(got));
        }
    }
}

LPARAM ListView::ItemData(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return item.lParam;
}

int ListView::Image(int index) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return item.iImage;
}

bool ListView::SetRowText(int index, const std::wstring& text) const {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListView::SetImage(int index, int image) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    return Send(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListView::FindData(LPARAM itemData) const {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = itemData;
    return static_cast<int>(Send(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void ListView::SetSelected(int index, bool selected) const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

namespace {
constexpr wchar_t kMessageOnlyClass[] = L"KilnworksMessageOnly";
}

MessageOnlyWindow::MessageOnlyWindow(Procedure procedure, void* context) : procedure_(procedure), context_(context) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!GetClassInfoExW(instance, kMessageOnlyClass, &windowClass)) {
        windowClass = WNDCLASSEXW{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kMessageOnlyClass;
        RegisterClassExW(&windowClass);
    }
    window_ = CreateWindowExW(0, kMessageOnlyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

MessageOnlyWindow::~MessageOnlyWindow() {
    if (window_ == nullptr) return;
    HWND window = window_;
    // Only the creating thread can destroy the window; from any other the window outlives us, so
    // it must no longer reach this object.
    if (!DestroyWindow(window) && IsWindow(window)) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window_ = nullptr;
}

LRESULT CALLBACK MessageOnlyWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageOnlyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self) {
        // The last message: whatever the procedure does with it, the object lets go of the window.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    if (self && self->procedure_) {
        bool handled = false;
        LRESULT result = 0;
        // No exception may unwind through the system's message dispatch.
        try {
            result = self->procedure_(self->context_, window, message, wParam, lParam, handled);
        } catch (...) {
            handled = false;
        }
        // The procedure sets handled through its reference; cppcheck does not see that.
        // cppcheck-suppress knownConditionTrueFalse
        if (handled) return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kw
