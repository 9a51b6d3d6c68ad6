#include "controls/ControlsTestSupport.h"

#include <commctrl.h>

#include <algorithm>

namespace kwtest {

DialogTemplate::DialogTemplate(const wchar_t* title, short width, short height) {
    // Hidden until a test shows it: Wine on a bare X server takes seconds to take a shown window down.
    DWORD style = WS_POPUP | WS_BORDER | DS_SETFONT;
    words_ = {LOWORD(style), HIWORD(style), 0, 0, 0, 10, 10, static_cast<WORD>(width), static_cast<WORD>(height),
              0, 0};
    AddString(title);
    words_.push_back(8);
    AddString(L"MS Sans Serif");
}

void DialogTemplate::Align() {
    if (words_.size() % 2 != 0) words_.push_back(0);
}

void DialogTemplate::AddString(const wchar_t* text) {
    for (; *text; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
}

void DialogTemplate::Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y,
                         short width, short height) {
    Align();
    style |= WS_CHILD | WS_VISIBLE;
    words_.push_back(LOWORD(style));
    words_.push_back(HIWORD(style));
    words_.push_back(0);
    words_.push_back(0);
    for (short v : {x, y, width, height}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(id);
    AddString(className);
    AddString(text);
    words_.push_back(0);
    ++words_[4];  // item count
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
    bits_.assign(static_cast<size_t>(width_) * height_, 0);
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(pixels);
    bits_.assign(source, source + bits_.size());
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
}

COLORREF ClientPixels::At(int x, int y) const {
    DWORD bgr = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

bool ClientPixels::Dark(int x, int y) const {
    COLORREF c = At(x, y);
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100;
}

int ClientPixels::CountDark(const RECT& area) const {
    int count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x)
            if (Dark(x, y)) ++count;
    return count;
}

RECT ClientPixels::DarkBounds() const {
    RECT bounds = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Dark(x, y)) {
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
            }
    if (bounds.right == 0) bounds = {0, 0, 0, 0};
    return bounds;
}

MessageSpy::MessageSpy(HWND window) : window_(window) {
    SetWindowSubclass(window_, &Proc, 0x5059, reinterpret_cast<DWORD_PTR>(this));
}

MessageSpy::~MessageSpy() {
    if (IsWindow(window_)) RemoveWindowSubclass(window_, &Proc, 0x5059);
}

int MessageSpy::Count(UINT message) const {
    auto found = counts_.find(message);
    return found == counts_.end() ? 0 : found->second;
}

LRESULT CALLBACK MessageSpy::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    ++reinterpret_cast<MessageSpy*>(data)->counts_[message];
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kwtest
