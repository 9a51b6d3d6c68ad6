#include "controls/ControlsTestSupport.h"

#include <commctrl.h>

#include <initializer_list>
#include <stdexcept>
#include <vector>

#include "controls/EmptyAwareListView.h"
#include "win/Controls.h"

namespace kwtest {

namespace {

void AddString(std::vector<WORD>& words, const wchar_t* text) {
    for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
    words.push_back(0);
}

// One control: its class, text, id, style and place in dialog units.
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

const DLGTEMPLATE* HostTemplate() {
    static const std::vector<WORD> words = [] {
        // Hidden: Wine on a bare X server takes seconds to take a shown window down.
        DWORD style = WS_POPUP | WS_BORDER | DS_SETFONT;
        std::vector<WORD> t = {LOWORD(style), HIWORD(style), 0, 0, 0, 10, 10, 280, 145, 0, 0};
        AddString(t, L"Host");
        t.push_back(8);
        AddString(t, L"MS Sans Serif");
        DWORD list = WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS;
        AddItem(t, L"STATIC", L"Kilnworks home", kLink, SS_LEFT, {10, 10, 150, 8});
        AddItem(t, L"STATIC", L"", kEmptyLabel, SS_LEFT, {10, 25, 150, 8});
        AddItem(t, L"STATIC", L"Right side", kRightLabel, SS_RIGHT, {10, 40, 150, 8});
        AddItem(t, L"EDIT", L"", kEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {170, 10, 60, 12});
        AddItem(t, L"BUTTON", L"Build", kCheck, WS_TABSTOP | BS_AUTOCHECKBOX, {170, 25, 60, 12});
        AddItem(t, L"LISTBOX", L"", kLines, WS_BORDER, {170, 40, 60, 12});
        AddItem(t, WC_LISTVIEWW, L"", kIcons, list | LVS_SMALLICON, {10, 55, 120, 81});
        AddItem(t, WC_LISTVIEWW, L"", kReport, list | LVS_REPORT, {140, 55, 120, 81});
        return t;
    }();
    return reinterpret_cast<const DLGTEMPLATE*>(words.data());
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
