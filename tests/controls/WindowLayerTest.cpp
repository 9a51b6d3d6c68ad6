// The thin window layer: dialog dispatch and answers, reflection, subclass lifetime, the prompt
// seam and the handle owners.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cwctype>

#include <stdexcept>
#include <string>

#include "common/TestSupport.h"
#include "controls/ControlsTestSupport.h"
#include "win/Dialog.h"
#include "win/Handles.h"
#include "win/UserPrompt.h"
#include "win/WindowSubclass.h"

namespace {

constexpr int kLabel = 1100;
constexpr int kEdit = 1101;
constexpr int kCheck = 1102;
constexpr UINT kTestCode = 0x1234;

const DLGTEMPLATE* PlainTemplate() {
    static kwtest::DialogTemplate* layout = [] {
        auto* t = new kwtest::DialogTemplate(L"Plain", 160, 60);
        t->Add(L"STATIC", L"label", kLabel, SS_LEFT | SS_NOTIFY, 5, 5, 60, 8);
        t->Add(L"EDIT", L"", kEdit, WS_BORDER | WS_TABSTOP, 5, 20, 60, 12);
        t->Add(L"BUTTON", L"Build", kCheck, WS_TABSTOP | BS_AUTOCHECKBOX, 70, 20, 60, 12);
        t->Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 40, 50, 14);
        return t;
    }();
    return layout->Get();
}

class PlainDialog : public kw::Dialog {
public:
    PlainDialog() : Dialog(PlainTemplate()) {}
    bool throwOnCommand = false;
    int checked = 0;
    std::wstring text;
    int commands = 0;
    int destroyed = 0;
    std::vector<int> notifyIds;

protected:
    bool OnCommand(int id, int code, HWND control) override {
        ++commands;
        if (throwOnCommand) throw std::runtime_error("handler failed");
        return id == kEdit;
    }
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override {
        notifyIds.push_back(id);
        if (header->code != kTestCode) return false;
        result = 0x5A5A;
        return true;
    }
    void OnDestroyed() override { ++destroyed; }
    void ExchangeControls(kw::Exchange direction) override {
        ExchangeCheck(direction, kCheck, checked);
        ExchangeText(direction, kEdit, text);
    }
};

// A subclass that answers the reflected messages it is given, or counts them and passes them on.
class Reflector : public kw::WindowSubclass {
public:
    int commands = 0;
    int notifies = 0;
    bool consume = true;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kw::kReflectedCommand) {
            ++commands;
            if (consume) return 1;
        }
        if (message == kw::kReflectedNotify) {
            ++notifies;
            if (consume) return 7;
        }
        if (message == kw::kReflectedCtlColorStatic) return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        return DefaultProc(message, wParam, lParam);
    }
};

class DialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dialog_.Create(nullptr), nullptr) << "the tests need an X display"; }

    LRESULT Notify(HWND from, int id, UINT code) {
        NMHDR header = {from, static_cast<UINT_PTR>(id), code};
        return SendMessageW(dialog_.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }

    PlainDialog dialog_;
};

TEST_F(DialogTest, NotificationAnswerReachesTheSender) {
    EXPECT_EQ(Notify(dialog_.Item(kEdit), kEdit, kTestCode), 0x5A5A);
    EXPECT_EQ(Notify(dialog_.Item(kEdit), kEdit, NM_CLICK), 0);
    EXPECT_EQ(dialog_.notifyIds, (std::vector<int>{kEdit, kEdit}));
}

TEST_F(DialogTest, ExceptionInAHandlerDoesNotLeaveTheWindowProcedure) {
    dialog_.commands = 0;  // the edit field's own focus notification came at creation
    dialog_.throwOnCommand = true;
    SendMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(kEdit, EN_CHANGE),
                 reinterpret_cast<LPARAM>(dialog_.Item(kEdit)));
    EXPECT_EQ(dialog_.commands, 1);
    EXPECT_TRUE(IsWindow(dialog_.Handle()));
    dialog_.throwOnCommand = false;
    SendMessageW(dialog_.Item(IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(dialog_.Ended());
}

TEST_F(DialogTest, DataExchangeRunsBothWays) {
    dialog_.checked = 1;
    dialog_.text = L"1.2.0.7";
    dialog_.WriteControls();
    EXPECT_EQ(IsDlgButtonChecked(dialog_.Handle(), kCheck), static_cast<UINT>(BST_CHECKED));
    wchar_t shown[32] = {};
    GetDlgItemTextW(dialog_.Handle(), kEdit, shown, 32);
    EXPECT_STREQ(shown, L"1.2.0.7");

    SendMessageW(dialog_.Item(kCheck), BM_CLICK, 0, 0);
    SetDlgItemTextW(dialog_.Handle(), kEdit, L"typed");
    dialog_.ReadControls();
    EXPECT_EQ(dialog_.checked, 0);
    EXPECT_EQ(dialog_.text, L"typed");
}

TEST_F(DialogTest, OkReadsTheControlsBeforeEndingCancelDoesNotEndDestroysAModelessDialog) {
    SetDlgItemTextW(dialog_.Handle(), kEdit, L"kept");
    SendMessageW(dialog_.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog_.text, L"kept");
    EXPECT_EQ(dialog_.Result(), IDOK);
    EXPECT_EQ(dialog_.Handle(), nullptr);
    EXPECT_EQ(dialog_.destroyed, 1);

    PlainDialog other;
    ASSERT_NE(other.Create(nullptr), nullptr);
    SetDlgItemTextW(other.Handle(), kEdit, L"dropped");
    SendMessageW(other.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(other.text, L"");
    EXPECT_EQ(other.Result(), IDCANCEL);

    PlainDialog third;
    ASSERT_NE(third.Create(nullptr), nullptr);
    third.End(42);
    EXPECT_EQ(third.Handle(), nullptr);
    EXPECT_EQ(third.Result(), 42);
}

TEST_F(DialogTest, OnlyTheDialogsOwnChildrenGetTheirNotificationsReflected) {
    Reflector label;
    ASSERT_TRUE(label.Subclass(dialog_.Item(kLabel)));
    HWND control = dialog_.Item(kLabel);
    dialog_.commands = 0;

    SendMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(kLabel, STN_CLICKED), reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(label.commands, 1);
    EXPECT_EQ(dialog_.commands, 0);  // consumed by the control
    EXPECT_EQ(Notify(control, kLabel, NM_CLICK), 7);
    EXPECT_TRUE(dialog_.notifyIds.empty());

    HDC dc = CreateCompatibleDC(nullptr);
    auto brush = SendMessageW(dialog_.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    DeleteDC(dc);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(GRAY_BRUSH));

    // A control that lets a notification pass leaves it to the dialog.
    label.consume = false;
    SendMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(kLabel, STN_CLICKED), reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(label.commands, 2);
    EXPECT_EQ(dialog_.commands, 1);

    // A popup that happens to notify the dialog is not one of its controls.
    Reflector popup;
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, dialog_.Handle(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(popup.Subclass(other));
    Notify(other, 5, NM_CLICK);
    EXPECT_EQ(popup.notifies, 0);
    EXPECT_EQ(dialog_.notifyIds, std::vector<int>{5});
    DestroyWindow(other);
}

TEST(WindowSubclassTest, SubclassLetsGoWhenEitherSideGoesFirst) {
    HWND window = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    {
        Reflector first;
        ASSERT_TRUE(first.Subclass(window));
        EXPECT_FALSE(first.Subclass(window));  // already taken over
    }
    // The object is gone; the window still answers.
    EXPECT_EQ(SendMessageW(window, kw::kReflectedCommand, 0, 0), 0);

    Reflector second;
    ASSERT_TRUE(second.Subclass(window));
    DestroyWindow(window);
    EXPECT_EQ(second.Handle(), nullptr);
    EXPECT_FALSE(second.Subclass(nullptr));
}

TEST(WindowSubclassTest, TwoObjectsOnOneWindowEachKeepTheirOwnHold) {
    HWND window = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    Reflector outer;
    outer.consume = false;
    ASSERT_TRUE(outer.Subclass(window));
    {
        Reflector inner;
        inner.consume = false;
        ASSERT_TRUE(inner.Subclass(window));
        SendMessageW(window, kw::kReflectedCommand, 0, 0);
        EXPECT_EQ(inner.commands, 1);
        EXPECT_EQ(outer.commands, 1);
    }
    // The one that went took only its own hold.
    SendMessageW(window, kw::kReflectedCommand, 0, 0);
    EXPECT_EQ(outer.commands, 2);
    DestroyWindow(window);
    EXPECT_EQ(outer.Handle(), nullptr);
}

TEST(WindowSubclassTest, CleanUpThatThrowsDoesNotEscapeWhenTheWindowGoes) {
    class Failing : public kw::WindowSubclass {
    protected:
        void OnUnsubclassed(HWND) override { throw std::runtime_error("clean-up failed"); }
    };
    HWND window = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    Failing failing;
    ASSERT_TRUE(failing.Subclass(window));
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(failing.Handle(), nullptr);
}

// The manifest asks for the version 6 common controls (SetWindowSubclass, the tooltip structure
// size the label uses); the program must get them, from the side-by-side store, whatever its
// architecture.
TEST(CommonControlsTest, VersionSixIsInUse) {
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    std::wstring lower = path;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << kwtest::Narrow(path);
    EXPECT_NE(lower.find(L"common-controls"), std::wstring::npos) << kwtest::Narrow(path);
}

// ---- UserPrompt ------------------------------------------------------------------------------

TEST(UserPromptTest, ScopedPromptInstallsAndRestores) {
    kw::UserPrompt* system = &kw::CurrentPrompt();
    {
        kw::ScriptedPrompt scripted;
        kw::ScopedPrompt scope(scripted);
        EXPECT_EQ(&kw::CurrentPrompt(), &scripted);
    }
    EXPECT_EQ(&kw::CurrentPrompt(), system);
}

TEST(UserPromptTest, FilterTextIsPairsEndedByAnEmptyString) {
    std::wstring text = kw::BuildFilterText({{L"Resource files", L"*.rc"}, {L"All files", L"*.*"}});
    EXPECT_EQ(text, std::wstring(L"Resource files\0*.rc\0All files\0*.*\0\0", 35));
    EXPECT_EQ(kw::BuildFilterText({}), L"");
}

// ---- handle owners ---------------------------------------------------------------------------

TEST(HandlesTest, OwnersReleaseOnceAndMoveOwnership) {
    HFONT raw = CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    ASSERT_NE(raw, nullptr);
    {
        kw::FontHandle first(raw);
        kw::FontHandle second(std::move(first));
        EXPECT_EQ(first.Get(), nullptr);
        EXPECT_EQ(second.Get(), raw);
        kw::FontHandle third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), raw);
        EXPECT_NE(GetObjectType(raw), 0u);
    }
    EXPECT_EQ(GetObjectType(raw), 0u);  // deleted exactly when its last owner went
}

}  // namespace
