// Shows the package editor on screen so scripts/screenshot.sh can photograph it. Read from the
// environment:
//   KW_PREVIEW_PACKAGE       the package to open, its first project selected; unset: a new package
//   KW_PREVIEW_DEPENDENCIES  set: also that project's dependency list, beside the editor
//   KW_PREVIEW_READY         written once the windows are up and painted
//   KW_PREVIEW_DONE          the windows stay up until this file exists
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "RemoteWindow.h"
#include "editor/PackageEditor.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Com.h"
#include "win/UserPrompt.h"

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    return GetEnvironmentVariableW(name, value, 1024) < 1024 ? value : L"";
}

// Answers the new package's file dialog with a plain path; nothing else may ask anything.
class PreviewPrompt : public kw::UserPrompt {
public:
    int Message(HWND, const std::wstring& text, const std::wstring&, UINT) override {
        std::fwprintf(stderr, L"editor_preview: unexpected message: %ls\n", text.c_str());
        return IDCANCEL;
    }
    void Beep(UINT) override {}
    bool ChooseFile(const kw::FileRequest&, std::wstring& path) override {
        path = L"C:\\Packages\\New package.kwp";
        return true;
    }
    bool ChooseFolder(const kw::FolderRequest&, std::wstring&) override { return false; }
};

std::wstring gReady, gDone;
HWND gEditor = nullptr;

void Hold(HWND window) {
    HANDLE ready = CreateFileW(gReady.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    // Gives up after two minutes so a forgotten preview never lingers.
    for (int i = 0; i < 2400 && GetFileAttributesW(gDone.c_str()) == INVALID_FILE_ATTRIBUTES; ++i, Sleep(50)) {
        kwremote::Pump(window);
    }
}

BOOL CALLBACK FindChooser(HWND window, LPARAM found) {
    if (GetWindow(window, GW_OWNER) != gEditor || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The dependency list is modal: a timer finds it once it is up, moves it beside the editor and
// holds it there, then cancels it.
void CALLBACK OnChooserTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND chooser = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindChooser, reinterpret_cast<LPARAM>(&chooser));
    if (chooser == nullptr) return;
    KillTimer(nullptr, timer);
    RECT editor = {};
    GetWindowRect(gEditor, &editor);
    SetWindowPos(chooser, nullptr, editor.right + 8, editor.top + 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    for (int i = 0; i < 10; ++i, Sleep(50)) kwremote::Pump(chooser);
    Hold(chooser);
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int wmain(int, wchar_t**) {
    const std::wstring package = Environment(L"KW_PREVIEW_PACKAGE");
    gReady = Environment(L"KW_PREVIEW_READY");
    gDone = Environment(L"KW_PREVIEW_DONE");
    if (gReady.empty() || gDone.empty()) {
        std::fprintf(stderr, "usage: KW_PREVIEW_READY=<file> KW_PREVIEW_DONE=<file> [KW_PREVIEW_PACKAGE=<file>] "
                             "[KW_PREVIEW_DEPENDENCIES=1] editor_preview\n");
        return 2;
    }
    kw::ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    PreviewPrompt prompt;
    kw::ScopedPrompt scope(prompt);
    kw::PackageDocument document;
    kw::PackageEditor editor(document, nullptr);
    if ((package.empty() ? editor.PromptNewPackageFile() : document.OpenPackage(package)) != 0) {
        std::fwprintf(stderr, L"editor_preview: can't open '%ls'\n", package.c_str());
        return 1;
    }
    gEditor = editor.CreateModeless();
    if (gEditor == nullptr) return 1;
    SetWindowPos(gEditor, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    kwremote::Pump(gEditor);
    if (!package.empty()) {
        // A click on the first row, as the list gets it (the button-up queued first ends its drag
        // detection): the editor shows a project on user input only.
        HWND list = GetDlgItem(gEditor, IDC_EDITOR_PROJECTS);
        RECT row = {};
        ListView_GetItemRect(list, 0, &row, LVIR_LABEL);
        LPARAM where = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
        PostMessageW(list, WM_LBUTTONUP, 0, where);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
    }
    for (int i = 0; i < 10; ++i, Sleep(50)) kwremote::Pump(gEditor);
    if (!package.empty() && !Environment(L"KW_PREVIEW_DEPENDENCIES").empty()) {
        UINT_PTR timer = SetTimer(nullptr, 0, 20, OnChooserTimer);
        SendMessageW(GetDlgItem(gEditor, IDC_EDITOR_DEPENDENCIES), BM_CLICK, 0, 0);
        KillTimer(nullptr, timer);
        return 0;
    }
    Hold(gEditor);
    return 0;
}
