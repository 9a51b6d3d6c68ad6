// Helpers for the window tests: in-memory dialog templates, a message pump, pixel reading, a spy
// that counts the messages a control receives, and a scripted LinkShell.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "controls/HyperlinkLabel.h"

namespace kwtest {

// A DLGTEMPLATE with its items, built in memory; hidden until a test shows it.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short width, short height);
    DialogTemplate& Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y,
                        short width, short height);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void AddString(const wchar_t* text);
    std::vector<WORD> words_;
};

// Dispatches everything queued for this thread, through the dialog manager of dialog.
void Pump(HWND dialog = nullptr);

// The window's client area as it is on screen.
class ClientPixels {
public:
    explicit ClientPixels(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
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
    int Count(UINT message) const { return counts_.count(message) ? counts_.at(message) : 0; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND window_;
    std::map<UINT, int> counts_;
};

// Records what a label asks of the system and answers from a script.
class FakeLinkShell : public kw::LinkShell {
public:
    int ShellOpen(const std::wstring& address, int show) override {
        opened.emplace_back(address, show);
        return shellResult;
    }
    bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) override {
        keysRead.push_back(key);
        if (keys.count(key) == 0) return false;
        value = keys[key];
        return true;
    }
    int Exec(const std::wstring& command, int show) override {
        executed.emplace_back(command, show);
        return execResult;
    }

    int shellResult = 42;
    int execResult = 33;
    std::map<std::wstring, std::wstring> keys;
    std::vector<std::pair<std::wstring, int>> opened;
    std::vector<std::wstring> keysRead;
    std::vector<std::pair<std::wstring, int>> executed;
};

}  // namespace kwtest
