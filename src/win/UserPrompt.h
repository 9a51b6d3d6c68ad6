// The one way the program shows message boxes, plays warning sounds and asks for files and
// folders. The system prompt shows the real windows; tests install one that answers from a script.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kw {

// What the common open or save dialog is asked to show.
struct FileRequest {
    HWND owner = nullptr;
    bool save = false;
    std::wstring title;
    // Pairs of description and pattern, shown in this order; the first is selected.
    std::vector<std::pair<std::wstring, std::wstring>> filters;
    std::wstring defaultExtension;  // without the dot; empty for none
    std::wstring initialName;
    DWORD flags = 0;                // OFN_... flags, passed on as they are
    DWORD bufferChars = 512;        // room for the chosen name, terminator included
};

// What the shell folder browser is asked to show.
struct FolderRequest {
    HWND owner = nullptr;
    std::wstring title;
    UINT flags = 0;  // BIF_... flags
};

class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // A message box; returns the button pressed (IDOK, IDYES, ...).
    virtual int Message(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
    // MessageBeep.
    virtual void Beep(UINT type) = 0;
    // True with the chosen path when the user confirmed.
    virtual bool ChooseFile(const FileRequest& request, std::wstring& path) = 0;
    virtual bool ChooseFolder(const FolderRequest& request, std::wstring& path) = 0;
};

// The prompt in use: the system prompt unless a test has installed another.
UserPrompt& CurrentPrompt();

// Installs a prompt for its lifetime and puts the previous one back afterwards.
class ScopedPrompt {
public:
    explicit ScopedPrompt(UserPrompt& prompt);
    ~ScopedPrompt();
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;

private:
    UserPrompt* previous_;
};

// The double-0-terminated filter text the common dialogs take.
std::wstring BuildFilterText(const std::vector<std::pair<std::wstring, std::wstring>>& filters);

}  // namespace kw
