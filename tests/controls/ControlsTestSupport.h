// Helpers for the window tests: in-memory dialog templates, a message pump, pixel reading and a
// spy that counts the messages a control receives.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kwtest {

// Builds a DLGTEMPLATE with its items in memory.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short width, short height);
    void Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y, short width,
             short height);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Align();
    void AddString(const wchar_t* text);
    std::vector<WORD> words_;
};

// Dispatches everything queued for this thread, through the dialog manager of dialog.
void Pump(HWND dialog = nullptr);

// The window's client area as it is on screen, as RGB rows.
class ClientPixels {
public:
    explicit ClientPixels(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;
    bool Dark(int x, int y) const;
    // Dark pixels inside the rectangle (client coordinates, right and bottom excluded).
    int CountDark(const RECT& area) const;
    // The bounding box of all dark pixels; empty when there are none.
    RECT DarkBounds() const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> bits_;
};

// Counts the messages a window receives, before any other handler sees them.
class MessageSpy {
public:
    explicit MessageSpy(HWND window);
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;
    int Count(UINT message) const;
    void Clear() { counts_.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND window_;
    std::map<UINT, int> counts_;
};

}  // namespace kwtest
