// The thin window layer: dialog dispatch and answers, reflection, subclass lifetime, the control
// views, the message-only window and the handle owners.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cwctype>
#include <stdexcept>
#include <string>

#include "common/TestSupport.h"
#include "controls/ControlsTestSupport.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/Handles.h"
#include "win/UserPrompt.h"
#include "win/WindowSubclass.h"

namespace {

constexpr int kLabel = 1100, kEdit = 1101, kCheck = 1102, kLines = 1103, kRows = 1104;
constexpr UINT kTestCode = 0x1234;

class PlainDialog : public kw::Dialog {
public:
    PlainDialog() : Dialog(Template()) {}
    static const DLGTEMPLATE* Template() {
        static kwtest::DialogTemplate layout = [] {
            kwtest::DialogTemplate t(L"Plain", 160, 120);
            t.Add(L"STATIC", L"label", kLabel, SS_LEFT | SS_NOTIFY, 5, 5, 60, 8);
            t.Add(L"EDIT", L"", kEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 5, 20, 60, 12);
            t.Add(L"BUTTON", L"Build", kCheck, WS_TABSTOP | BS_AUTOCHECKBOX, 70, 20, 60, 12);
            t.Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 40, 50, 14);
            t.Add(L"LISTBOX", L"", kLines, WS_BORDER | WS_HSCROLL | WS_VSCROLL, 5, 60, 60, 40);
            t.Add(WC_LISTVIEWW, L"", kRows, WS_BORDER | LVS_LIST, 70, 60, 80, 40);
            return t;
        }();
        return layout.Get();
    }
    bool throwOnCommand = false;
    int checked = 0, commands = 0, destroyed = 0;
    std::wstring text;
    std::vector<int> notifyIds;

protected:
    bool OnCommand(int id, int, HWND) override {
        ++commands;
        if (throwOnCommand) throw std::runtime_error("handler failed");
        return id == kEdit;
    }
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override {
        notifyIds.push_back(id);
        result = 0x5A5A;
        return header->code == kTestCode;
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
    int commands = 0, notifies = 0;
    bool consume = true;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kw::kReflectedCommand && (++commands, consume)) return 1;
        if (message == kw::kReflectedNotify && (++notifies, consume)) return 7;
        if (message == kw::kReflectedCtlColorStatic) return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        return DefaultProc(message, wParam, lParam);
    }
};

HWND Popup(HWND owner = nullptr) {
    return CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 10, 10, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dialog_.Create(nullptr), nullptr) << "the tests need an X display"; }
    LRESULT Notify(HWND from, int id, UINT code) {
        NMHDR header = {from, static_cast<UINT_PTR>(id), code};
        return SendMessageW(dialog_.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }
    void Command(int id, int code) {
        SendMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(dialog_.Item(id)));
    }
    PlainDialog dialog_;
};

TEST_F(DialogTest, NotificationAnswersReachTheSenderAndAThrowingHandlerDoesNotEscape) {
    EXPECT_EQ(Notify(dialog_.Item(kEdit), kEdit, kTestCode), 0x5A5A);
    EXPECT_EQ(Notify(dialog_.Item(kEdit), kEdit, NM_CLICK), 0);
    EXPECT_EQ(dialog_.notifyIds, (std::vector<int>{kEdit, kEdit}));
    dialog_.commands = 0;  // the edit field's own focus notification came at creation
    dialog_.throwOnCommand = true;
    Command(kEdit, EN_CHANGE);
    EXPECT_EQ(dialog_.commands, 1);
    dialog_.throwOnCommand = false;
    kw::Button(dialog_.Handle(), IDOK).Click();
    EXPECT_TRUE(dialog_.Ended());
}

TEST_F(DialogTest, DataExchangeRunsBothWaysOkReadsCancelDoesNot) {
    kw::Button check(dialog_.Handle(), kCheck);
    kw::Edit edit(dialog_.Handle(), kEdit);
    dialog_.checked = 1;
    dialog_.text = L"1.2.0.7";
    dialog_.WriteControls();
    EXPECT_TRUE(check.Checked());
    EXPECT_EQ(edit.Text(), L"1.2.0.7");
    check.Click();
    edit.SetText(L"typed");
    dialog_.ReadControls();
    EXPECT_EQ(std::to_wstring(dialog_.checked) + dialog_.text, L"0typed");

    edit.SetText(L"kept");
    SendMessageW(dialog_.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog_.text + L" " + std::to_wstring(dialog_.Result()), L"kept 1");
    EXPECT_EQ(dialog_.Handle(), nullptr);  // a modeless dialog is destroyed
    EXPECT_EQ(dialog_.destroyed, 1);
    PlainDialog other;
    ASSERT_NE(other.Create(nullptr), nullptr);
    kw::Edit(other.Handle(), kEdit).SetText(L"dropped");
    SendMessageW(other.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(other.text + L" " + std::to_wstring(other.Result()), L" 2");
    PlainDialog third;
    ASSERT_NE(third.Create(nullptr), nullptr);
    third.End(42);
    EXPECT_TRUE(third.Handle() == nullptr && third.Result() == 42);
}

TEST_F(DialogTest, OnlyTheDialogsOwnChildrenGetTheirNotificationsReflected) {
    Reflector label;
    HWND control = dialog_.Item(kLabel);
    ASSERT_TRUE(label.Subclass(control));
    dialog_.commands = 0;
    Command(kLabel, STN_CLICKED);
    EXPECT_EQ(label.commands - dialog_.commands, 1);  // consumed by the control
    EXPECT_EQ(Notify(control, kLabel, NM_CLICK), 7);
    EXPECT_TRUE(dialog_.notifyIds.empty());
    HDC dc = CreateCompatibleDC(nullptr);
    auto brush = SendMessageW(dialog_.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    DeleteDC(dc);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(GRAY_BRUSH));
    // A control that lets a notification pass leaves it to the dialog.
    label.consume = false;
    Command(kLabel, STN_CLICKED);
    EXPECT_EQ(label.commands * 10 + dialog_.commands, 21);
    // A popup that happens to notify the dialog is not one of its controls.
    Reflector popup;
    HWND other = Popup(dialog_.Handle());
    ASSERT_TRUE(popup.Subclass(other));
    Notify(other, 5, NM_CLICK);
    EXPECT_EQ(popup.notifies, 0);
    EXPECT_EQ(dialog_.notifyIds, std::vector<int>{5});
    DestroyWindow(other);
}

TEST(WindowSubclassTest, EachObjectKeepsItsOwnHoldAndLetsGoWhenEitherSideGoesFirst) {
    HWND window = Popup();
    ASSERT_NE(window, nullptr);
    Reflector outer;
    outer.consume = false;
    ASSERT_TRUE(outer.Subclass(window));
    EXPECT_FALSE(outer.Subclass(window));  // already taken over
    {
        Reflector inner;
        inner.consume = false;
        ASSERT_TRUE(inner.Subclass(window));
        SendMessageW(window, kw::kReflectedCommand, 0, 0);
        EXPECT_EQ(inner.commands + outer.commands, 2);
    }
    // The one that went took only its own hold; the window still answers.
    SendMessageW(window, kw::kReflectedCommand, 0, 0);
    EXPECT_EQ(outer.commands, 2);
    DestroyWindow(window);
    EXPECT_EQ(outer.Handle(), nullptr);
    EXPECT_FALSE(outer.Subclass(nullptr));

    class Failing : public kw::WindowSubclass {
        void OnUnsubclassed(HWND) override { throw std::runtime_error("clean-up failed"); }
    } failing;
    ASSERT_TRUE(failing.Subclass(window = Popup()));
    EXPECT_TRUE(DestroyWindow(window));  // the clean-up's exception stays inside
    EXPECT_EQ(failing.Handle(), nullptr);
}

// The manifest asks for version 6 of the common controls (SetWindowSubclass, the tooltip
// structure size); the program must get them from the side-by-side store, whatever its architecture.
TEST(CommonControlsTest, VersionSixIsInUse) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
    std::wstring lower = path;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    EXPECT_TRUE(lower.find(L"\\winsxs\\") != std::wstring::npos && lower.find(L"common-controls") != std::wstring::npos)
        << kwtest::Narrow(path);
}

TEST(UserPromptTest, FilterTextIsPairsEndedByAnEmptyString) {
    EXPECT_EQ(kw::BuildFilterText({{L"Resource files", L"*.rc"}, {L"All files", L"*.*"}}),
              std::wstring(L"Resource files\0*.rc\0All files\0*.*\0\0", 35));
    EXPECT_EQ(kw::BuildFilterText({}), L"");
}

// ---- control views ---------------------------------------------------------------------------

int CALLBACK ByData(LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(a - b); }

TEST_F(DialogTest, ControlViewsReadAndWriteTheirControls) {
    const std::wstring longText(5000, L'w');
    kw::Window label(dialog_.Handle(), kLabel);
    ASSERT_TRUE(label.SetText(longText));
    EXPECT_EQ(kw::WindowText(label.Handle()), longText);
    EXPECT_EQ(kw::WindowText(nullptr), L"");
    EXPECT_EQ(label.Id(), kLabel);
    label.Enable(false);
    EXPECT_FALSE(label.Enabled());

    kw::ListBox lines(dialog_.Handle(), kLines);
    for (const wchar_t* line : {L"first", L"", L"third"}) lines.AddLine(line);
    EXPECT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Line(0) + L"|" + lines.Line(1) + L"|" + lines.Line(2) + L"|" + lines.Line(7), L"first||third|");
    lines.SetHorizontalExtent(900);
    EXPECT_EQ(lines.HorizontalExtent(), 900);

    kw::ListView rows(dialog_.Handle(), kRows);
    std::wstring seen;
    for (int i : {3, 1, 2}) seen += std::to_wstring(rows.InsertRow(L"row " + std::to_wstring(i), i, i * 10));
    seen += std::to_wstring(rows.InsertRow(L"first", 0, 5, 0));
    EXPECT_EQ(seen, L"0120");  // appended, then put first
    EXPECT_TRUE(rows.SortByData(&ByData, 0));
    seen.clear();
    for (int i = 0; i < rows.Count(); ++i) seen += rows.RowText(i) + L":" + std::to_wstring(rows.Image(i)) + L" ";
    EXPECT_EQ(seen, L"first:0 row 1:1 row 2:2 row 3:3 ");
    EXPECT_EQ(rows.FindData(20), 2);
    EXPECT_EQ(rows.ItemData(rows.FindData(30)), 30);
    EXPECT_EQ(rows.ItemData(99), 0);
    EXPECT_TRUE(rows.SetRowText(1, longText) && rows.SetImage(1, 2));
    EXPECT_EQ(rows.RowText(1), longText);
    EXPECT_EQ(rows.Image(1), 2);
    rows.SetSelected(1, true);
    rows.SetSelected(3, true);
    EXPECT_EQ(rows.SelectedCount(), 2);
    EXPECT_EQ(rows.NextSelected(), 1);
    EXPECT_EQ(rows.NextSelected(1), 3);
    rows.SetSelected(-1, false);
    EXPECT_EQ(rows.NextSelected(), -1);
    EXPECT_TRUE(rows.DeleteRow(0));
    rows.DeleteAll();
    EXPECT_EQ(rows.Count(), 0);
}

TEST(MessageOnlyWindowTest, ProcedureGetsTheMessagesAndTheWindowGoesWithTheObject) {
    struct Seen {
        int user = 0;
        bool destroyedHandled = false;
    } seen;
    auto procedure = [](void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
        auto* s = static_cast<Seen*>(context);
        if (message == WM_USER) {
            if (wParam == 2) throw std::runtime_error("receiver failed");
            handled = true;
            return ++s->user;
        }
        if (message == WM_NCDESTROY) handled = s->destroyedHandled = true;
        return 0;
    };
    HWND window = nullptr;
    {
        kw::MessageOnlyWindow receiver(procedure, &seen);
        ASSERT_TRUE(receiver);
        window = receiver.Handle();
        EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 1);
        EXPECT_EQ(SendMessageW(window, WM_USER, 2, 0), 0);  // an exception stays inside
        kw::MessageOnlyWindow other(procedure, &seen);
        DestroyWindow(other.Handle());
        EXPECT_TRUE(seen.destroyedHandled);
        EXPECT_FALSE(other);  // let go even though the procedure handled WM_NCDESTROY
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST(HandlesTest, OwnersReleaseOnceMoveOwnershipAndKnowWhatIsNoHandle) {
    HFONT raw = CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    {
        kw::FontHandle first(raw);
        kw::FontHandle second(std::move(first));
        kw::FontHandle third;
        third = std::move(second);
        EXPECT_TRUE(!first && !second && third.Get() == raw);
        EXPECT_NE(GetObjectType(raw), 0u);
    }
    EXPECT_EQ(GetObjectType(raw), 0u);  // deleted exactly when its last owner went

    EXPECT_FALSE(kw::FileHandle(INVALID_HANDLE_VALUE).Valid());
    EXPECT_FALSE(kw::KernelHandle(nullptr).Valid());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    kw::KernelHandle owner(event);
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &duplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    owner.Reset(duplicate);
    EXPECT_FALSE(SetEvent(event));  // the first was closed when the second took its place
    EXPECT_TRUE(SetEvent(owner.Get()));
    EXPECT_EQ(CloseHandle(owner.Release()), TRUE);
}

}  // namespace
