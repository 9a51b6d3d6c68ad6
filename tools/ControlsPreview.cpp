// Shows the interface controls on screen so scripts/screenshot.sh can photograph them:
//   controls_preview about|lists <ready-file> <done-file>
// The windows stay up, painted, from the moment <ready-file> is written until <done-file> exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "RemoteWindow.h"
#include "controls/AboutDialog.h"
#include "controls/EmptyAwareListView.h"
#include "win/Com.h"
#include "win/Controls.h"
#include "win/Handles.h"

namespace {

void AddString(std::vector<WORD>& words, const wchar_t* text) {
    for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
    words.push_back(0);
}

void AddItem(std::vector<WORD>& words, const wchar_t* className, const wchar_t* text, WORD id, DWORD style,
             std::initializer_list<WORD> rect) {
    if (words.size() % 2 != 0) words.push_back(0);  // items start on a DWORD boundary
    style |= WS_CHILD | WS_VISIBLE;
    words.insert(words.end(), {LOWORD(style), HIWORD(style), 0, 0});
    words.insert(words.end(), rect);
    words.push_back(id);
    AddString(words, className);
    AddString(words, text);
    words.push_back(0);
    ++words[4];  // item count
}

// The lists window has no resource of its own: its template is built here, a heading over each list.
const DLGTEMPLATE* ListsTemplate() {
    static const std::vector<WORD> words = [] {
        DWORD style = WS_POPUP | WS_BORDER | DS_SETFONT;
        std::vector<WORD> t = {LOWORD(style), HIWORD(style), 0, 0, 0, 10, 10, 270, 100, 0, 0};
        AddString(t, L"Project lists");
        t.push_back(8);
        AddString(t, L"MS Sans Serif");
        DWORD list = WS_BORDER | WS_TABSTOP | LVS_SMALLICON | LVS_SHOWSELALWAYS;
        AddItem(t, L"STATIC", L"Package", 1, SS_LEFT, {10, 6, 120, 8});
        AddItem(t, L"STATIC", L"Targets", 2, SS_LEFT, {140, 6, 120, 8});
        AddItem(t, WC_LISTVIEWW, L"", 1002, list, {10, 16, 120, 81});
        AddItem(t, WC_LISTVIEWW, L"", 1007, list, {140, 16, 120, 81});
        return t;
    }();
    return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

class ListsWindow : public kw::Dialog {
public:
    ListsWindow() : Dialog(ListsTemplate()) {}

protected:
    bool OnInitDialog() override {
        packages_.Attach(Handle(), 1002);
        targets_.Attach(Handle(), 1007);
        images_ = kw::CreateProjectImages();
        kw::ListView packages(packages_.Handle());
        packages.SetImageList(images_.Get());
        kw::ListView(targets_.Handle()).SetImageList(images_.Get());
        const wchar_t* names[] = {L"Installer", L"Calc", L"Reports"};
        for (int kind = 0; kind < 3; ++kind) packages.InsertRow(names[kind], kind, kind + 1);
        targets_.SetHintState(kw::kHintShown);
        return false;
    }

private:
    kw::EmptyAwareListView packages_;
    kw::EmptyAwareListView targets_;
    kw::ImageListHandle images_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: controls_preview about|lists <ready-file> <done-file>\n");
        return 2;
    }
    kw::ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    std::unique_ptr<kw::Dialog> window;
    if (std::wstring(argv[1]) == L"about") {
        window = std::make_unique<kw::AboutDialog>();
    } else {
        window = std::make_unique<ListsWindow>();
    }
    if (window->Create(nullptr) == nullptr) return 1;
    SetWindowPos(window->Handle(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    for (int i = 0; i < 10; ++i) {
        kwremote::Pump();
        Sleep(50);
    }
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    // Give up after two minutes so a forgotten preview never lingers.
    for (int i = 0; i < 2400 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) {
        kwremote::Pump();
        Sleep(50);
    }
    return 0;
}
