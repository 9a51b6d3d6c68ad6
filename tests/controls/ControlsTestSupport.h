// Helpers for the window tests: one host dialog, built in memory, with the controls the tests
// work on.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "win/Dialog.h"

namespace kwtest {

// The host's controls: labels "Kilnworks home" (left-aligned), "" and "Right side" (right-aligned),
// an edit field, a check box, a list box, and list views in small-icon and report view.
enum HostControl { kLink = 1100, kEmptyLabel, kRightLabel, kEdit, kCheck, kLines, kIcons, kReport };

// A hidden dialog with those controls, noting what reaches the dialog itself.
class TestHost : public kw::Dialog {
public:
    // Notifications with this code are handled and answered 0x5A5A.
    static constexpr UINT kHandledCode = 0x1234;
    TestHost();

    bool throwOnCommand = false;
    int commands = 0, destroyed = 0;
    int checked = 0;    // exchanged with kCheck
    std::wstring text;  // exchanged with kEdit
    std::vector<int> notifyIds;       // the source ids of notifications other than LVN_USERINPUT
    std::vector<std::string> inputs;  // "wParam idFrom selected-count first-selected" per LVN_USERINPUT

protected:
    bool OnCommand(int id, int code, HWND control) override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroyed() override { ++destroyed; }
    void ExchangeControls(kw::Exchange direction) override;
};

class HostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host_.Create(nullptr), nullptr) << "the tests need an X display"; }
    HWND Item(int id) const { return host_.Item(id); }
    TestHost host_;
};

}  // namespace kwtest
