// Shows the interface controls on screen so scripts/screenshot.sh can photograph them:
//   controls_preview about|lists <ready-file> <done-file>
// The windows stay up, painted, from the moment <ready-file> is written until <done-file> exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/TestSupport.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "controls/EmptyAwareListView.h"
#include "win/Com.h"
#include "win/Controls.h"
#include "win/Handles.h"

namespace {

const DLGTEMPLATE* ListsTemplate() {
    static kwtest::DialogTemplate layout = [] {
        kwtest::DialogTemplate t(L"Project lists", 270, 100);
        DWORD style = WS_BORDER | WS_TABSTOP | LVS_SMALLICON | LVS_SHOWSELALWAYS;
        t.Add(L"STATIC", L"Package", 1, SS_LEFT, 10, 6, 120, 8).Add(L"STATIC", L"Targets", 2, SS_LEFT, 140, 6, 120, 8);
        t.Add(WC_LISTVIEWW, L"", 1002, style, 10, 16, 120, 81).Add(WC_LISTVIEWW, L"", 1007, style, 140, 16, 120, 81);
        return t;
    }();
    return layout.Get();
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
        kwtest::Pump();
        Sleep(50);
    }
    kwtest::WriteBytes(argv[2], "ready\n");
    // Give up after two minutes so a forgotten preview never lingers.
    for (int i = 0; i < 2400 && !kwtest::FileExists(argv[3]); ++i) {
        kwtest::Pump();
        Sleep(50);
    }
    return 0;
}
