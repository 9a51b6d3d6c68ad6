#include "controls/ControlsTestSupport.h"

#include <commctrl.h>

#include <stdexcept>

#include "controls/EmptyAwareListView.h"
#include "win/Controls.h"

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

namespace {
const DLGTEMPLATE* HostTemplate() {
    static DialogTemplate layout = [] {
        DialogTemplate t(L"Host", 280, 145);
        DWORD list = WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS;
        t.Add(L"STATIC", L"Kilnworks home", kLink, SS_LEFT, 10, 10, 150, 8);
        t.Add(L"STATIC", L"", kEmptyLabel, SS_LEFT, 10, 25, 150, 8);
        t.Add(L"STATIC", L"Right side", kRightLabel, SS_RIGHT, 10, 40, 150, 8);
        t.Add(L"EDIT", L"", kEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 170, 10, 60, 12);
        t.Add(L"BUTTON", L"Build", kCheck, WS_TABSTOP | BS_AUTOCHECKBOX, 170, 25, 60, 12);
        t.Add(L"LISTBOX", L"", kLines, WS_BORDER, 170, 40, 60, 12);
        t.Add(WC_LISTVIEWW, L"", kIcons, list | LVS_SMALLICON, 10, 55, 120, 81);
        return t.Add(WC_LISTVIEWW, L"", kReport, list | LVS_REPORT, 140, 55, 120, 81);
    }();
    return layout.Get();
}
}  // namespace

TestHost::TestHost() : Dialog(HostTemplate()) {}

bool TestHost::OnCommand(int, int, HWND) {
    ++commands;
    if (throwOnCommand) throw std::runtime_error("handler failed");
    return false;
}

bool TestHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (message != WM_NOTIFY) return false;
    if (header->code == kw::LVN_USERINPUT) {
        kw::ListView list(header->hwndFrom);
        inputs.push_back(std::to_string(wParam) + " " + std::to_string(header->idFrom) + " " +
                         std::to_string(list.SelectedCount()) + " " + std::to_string(list.NextSelected()));
        return true;
    }
    notifyIds.push_back(static_cast<int>(header->idFrom));
    result = 0x5A5A;
    return header->code == kHandledCode;
}

void TestHost::ExchangeControls(kw::Exchange direction) {
    ExchangeCheck(direction, kCheck, checked);
    ExchangeText(direction, kEdit, text);
}

}  // namespace kwtest
