#include "win/UserPrompt.h"

#include <commdlg.h>
#include <shlobj.h>

#include "win/Com.h"

namespace kw {

namespace {

class SystemPrompt : public UserPrompt {
public:
    int Message(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    }

    void Beep(UINT type) override { MessageBeep(type); }

    bool ChooseFile(const FileRequest& request, std::wstring& path) override {
        std::wstring filter = BuildFilterText(request.filters);
        std::vector<wchar_t> buffer(request.bufferChars > 1 ? request.bufferChars : 2, L'\0');
        request.initialName.copy(buffer.data(), buffer.size() - 1);

        OPENFILENAMEW ofn = {};
        // The classic structure size: the dialog looks the same on every Windows version.
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
        ofn.hwndOwner = request.owner;
        ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
        ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
        ofn.Flags = request.flags;
        BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
        if (!chosen) return false;
        path = buffer.data();
        return true;
    }

    bool ChooseFolder(const FolderRequest& request, std::wstring& path) override {
        BROWSEINFOW info = {};
        info.hwndOwner = request.owner;
        info.lpszTitle = request.title.c_str();
        info.ulFlags = request.flags;
        PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
        if (items == nullptr) return false;
        wchar_t buffer[MAX_PATH] = {};
        bool ok = SHGetPathFromIDListW(items, buffer) != FALSE;
        // The browser's item list belongs to the shell's allocator.
        ComPtr<IMalloc> malloc;
        if (SUCCEEDED(SHGetMalloc(&malloc))) malloc->Free(items);
        if (ok) path = buffer;
        return ok;
    }
};

SystemPrompt systemPrompt;
UserPrompt* current = &systemPrompt;

}  // namespace

UserPrompt& CurrentPrompt() { return *current; }

ScopedPrompt::ScopedPrompt(UserPrompt& prompt) : previous_(current) { current = &prompt; }
ScopedPrompt::~ScopedPrompt() { current = previous_; }

std::wstring BuildFilterText(const std::vector<std::pair<std::wstring, std::wstring>>& filters) {
    std::wstring text;
    for (const auto& [description, pattern] : filters) {
        text += description;
        text.push_back(L'\0');
        text += pattern;
        text.push_back(L'\0');
    }
    if (!text.empty()) text.push_back(L'\0');
    return text;
}

}  // namespace kw
