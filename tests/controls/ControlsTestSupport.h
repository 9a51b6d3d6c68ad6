// The window tests' host: a hidden dialog with the controls the tests work on, noting what
// reaches the dialog itself.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "common/TestSupport.h"
#include "controls/EmptyAwareListView.h"
#include "win/Controls.h"
#include "win/Dialog.h"

namespace kwtest {

enum HostControl { kLink = 1100, kEmptyLabel, kRightLabel, kEdit, kLines, kIcons };

class TestHost : public kw::Dialog {
public:
    TestHost() : Dialog(Template()) {}

    bool throwOnCommand = false;
    int commands = 0;
    std::vector<int> notifyIds;       // the source ids of notifications other than LVN_USERINPUT
    std::vector<std::string> inputs;  // "wParam idFrom selected-count first-selected" per LVN_USERINPUT

protected:
    bool OnCommand(int, int, HWND) override {
        ++commands;
        if (throwOnCommand) throw std::runtime_error("handler failed");
        return false;
    }
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (message != WM_NOTIFY) return false;
        if (header->code == kw::LVN_USERINPUT) {
            kw::ListView list(header->hwndFrom);
            inputs.push_back(std::to_string(wParam) + " " + std::to_string(header->idFrom) + " " +
                             std::to_string(list.SelectedCount()) + " " + std::to_string(list.NextSelected()));
            return true;
        }
        // NM_RETURN is handled and answered 0x5A5A.
        notifyIds.push_back(static_cast<int>(header->idFrom));
        result = 0x5A5A;
        return header->code == NM_RETURN;
    }

    bool OnInitDialog() override {
        // Class, text, id, style, and place: left, top, width, height.
        const std::tuple<const wchar_t*, const wchar_t*, INT_PTR, DWORD, RECT> controls[] = {
            {L"STATIC", L"Kilnworks home", kLink, SS_LEFT, {15, 15, 225, 14}},
            {L"STATIC", L"", kEmptyLabel, SS_LEFT, {15, 40, 225, 14}},
            {L"STATIC", L"Right side", kRightLabel, SS_RIGHT, {15, 65, 225, 14}},
            {L"EDIT", L"", kEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {255, 15, 90, 20}},
            {L"LISTBOX", L"", kLines, WS_BORDER, {255, 65, 90, 20}},
            {WC_LISTVIEWW, L"", kIcons, WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS | LVS_SMALLICON, {15, 90, 180, 130}},
        };
        for (const auto& [className, title, id, style, place] : controls) {
            CreateWindowExW(0, className, title, style | WS_CHILD | WS_VISIBLE, place.left, place.top, place.right,
                            place.bottom, Handle(), reinterpret_cast<HMENU>(id), nullptr, nullptr);
        }
        return true;
    }

private:
    static const DLGTEMPLATE* Template() {
        // Hidden: Wine on a bare X server takes seconds to take a shown window down.
        constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
        alignas(DWORD) static const WORD words[] = {LOWORD(kStyle), HIWORD(kStyle), 0, 0, 0, 10, 10, 240, 150, 0, 0, 0};
        return reinterpret_cast<const DLGTEMPLATE*>(words);
    }
};

class HostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host_.Create(nullptr), nullptr) << "the tests need an X display"; }
    HWND Item(int id) const { return host_.Item(id); }
    void Command(int id, int code) {
        SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
    LRESULT Notify(HWND from, int id, UINT code) {
        NMHDR header = {from, static_cast<UINT_PTR>(id), code};
        return SendMessageW(host_.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }

    TestHost host_;
};

}  // namespace kwtest
