#include "controls/ControlsTestSupport.h"

#include <commctrl.h>

#include <algorithm>

namespace kwtest {

DialogTemplate::DialogTemplate(const wchar_t* title, short width, short height) {
    // Hidden: Wine on a bare X server takes seconds to take a shown window down.
    DWORD style = WS_POPUP | WS_BORDER | DS_SETFONT;
    words_ = {LOWORD(style), HIWORD(style), 0, 0, 0, 10, 10, static_cast<WORD>(width), static_cast<WORD>(height),
              0, 0};
    AddString(title);
    words_.push_back(8);
    AddString(L"MS Sans Serif");
}

void DialogTemplate::AddString(const wchar_t* text) {
    for (; *text; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
}

DialogTemplate& DialogTemplate::Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x,
                                    short y, short width, short height) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD boundary
    style |= WS_CHILD | WS_VISIBLE;
    words_.insert(words_.end(), {LOWORD(style), HIWORD(style), 0, 0, static_cast<WORD>(x), static_cast<WORD>(y),
                                 static_cast<WORD>(width), static_cast<WORD>(height), id});
    AddString(className);
    AddString(text);
    words_.push_back(0);
    ++words_[4];  // item count
    return *this;
}

void Pump(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

ClientPixels::ClientPixels(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    if (width_ <= 0 || height_ <= 0) return;
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(pixels);
    bits_.assign(source, source + static_cast<size_t>(width_) * height_);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
}

bool ClientPixels::Dark(int x, int y) const {
    DWORD c = bits_[static_cast<size_t>(y) * width_ + x];
    return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 3 * 100;
}

int ClientPixels::CountDark(const RECT& area) const {
    int count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x) count += Dark(x, y);
    return count;
}

RECT ClientPixels::DarkBounds() const {
    RECT bounds = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Dark(x, y)) bounds = {std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                                      std::max<LONG>(bounds.right, x + 1), std::max<LONG>(bounds.bottom, y + 1)};
    return bounds.right == 0 ? RECT{0, 0, 0, 0} : bounds;
}

MessageSpy::MessageSpy(HWND window) : window_(window) {
    SetWindowSubclass(window_, &Proc, 0x5059, reinterpret_cast<DWORD_PTR>(this));
}

MessageSpy::~MessageSpy() {
    if (IsWindow(window_)) RemoveWindowSubclass(window_, &Proc, 0x5059);
}

LRESULT CALLBACK MessageSpy::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    ++reinterpret_cast<MessageSpy*>(data)->counts_[message];
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kwtest
