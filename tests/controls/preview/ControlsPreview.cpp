// Shows the interface controls on screen so scripts/screenshot.sh can photograph them:
//   controls_preview about|lists <ready-file> <done-file>
// The windows stay up, painted, from the moment <ready-file> is written until <done-file> exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "common/TestSupport.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "controls/EmptyAwareListView.h"
#include "win/Com.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace {

const DLGTEMPLATE* ListsTemplate() {
    static kwtest::DialogTemplate* layout = [] {
        auto* t = new kwtest::DialogTemplate(L"Project lists", 270, 100);
        DWORD style = WS_BORDER | WS_TABSTOP | LVS_SMALLICON | LVS_SHOWSELALWAYS;
        t->Add(L"STATIC", L"Package", 1, SS_LEFT, 10, 6, 120, 8);
        t->Add(L"STATIC", L"Targets", 2, SS_LEFT, 140, 6, 120, 8);
        t->Add(WC_LISTVIEWW, L"", 1002, style, 10, 16, 120, 81);
        t->Add(WC_LISTVIEWW, L"", 1007, style, 140, 16, 120, 81);
        return t;
    }();
    return layout->Get();
}

class ListsWindow : public kw::Dialog {
public:
    ListsWindow() : Dialog(ListsTemplate()) {}

protected:
    bool OnInitDialog() override {
        packages_.Attach(Handle(), 1002);
        targets_.Attach(Handle(), 1007);
        HIMAGELIST images = nullptr;
        if (kw::CreateProjectImages(images)) images_.Reset(images);
        ListView_SetImageList(packages_.Handle(), images_.Get(), LVSIL_SMALL);
        ListView_SetImageList(targets_.Handle(), images_.Get(), LVSIL_SMALL);
        const wchar_t* names[] = {L"Installer", L"Calc", L"Reports"};
        for (int kind = 0; kind < 3; ++kind) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            item.iItem = kind;
            item.iImage = kind;
            item.lParam = kind + 1;
            item.pszText = const_cast<wchar_t*>(names[kind]);
            ListView_InsertItem(packages_.Handle(), &item);
        }
        targets_.SetHintState(kw::kHintShown);
        return false;
    }

private:
    kw::EmptyAwareListView packages_;
    kw::EmptyAwareListView targets_;
    kw::ImageListHandle images_;
};

void PumpUntil(const std::wstring& readyFile, const std::wstring& doneFile) {
    for (int i = 0; i < 10; ++i) {
        kwtest::Pump();
        Sleep(50);
    }
    kwtest::WriteBytes(readyFile, "ready\n");
    // Give up after two minutes so a forgotten preview never lingers.
    for (int i = 0; i < 2400 && !kwtest::FileExists(doneFile); ++i) {
        kwtest::Pump();
        Sleep(50);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: controls_preview about|lists <ready-file> <done-file>\n");
        return 2;
    }
    kw::ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    std::wstring what = argv[1];
    if (what == L"about") {
        kw::AboutDialog about;
        if (about.Create(nullptr) == nullptr) return 1;
        SetWindowPos(about.Handle(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
        PumpUntil(argv[2], argv[3]);
    } else {
        ListsWindow lists;
        if (lists.Create(nullptr) == nullptr) return 1;
        SetWindowPos(lists.Handle(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
        PumpUntil(argv[2], argv[3]);
    }
    return 0;
}
