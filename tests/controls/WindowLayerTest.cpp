// The thin window layer: dialog dispatch, data exchange and reflection, subclass lifetime, the
// control views and the message-only window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>

#include "controls/ControlsTestSupport.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/UserPrompt.h"
#include "win/WindowSubclass.h"

namespace {

using namespace kwtest;

// A subclass that answers the reflected messages it is given, or counts them and passes them on.
class Reflector : public kw::WindowSubclass {
public:
    int commands = 0, notifies = 0;
    bool consume = true;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kw::kReflectedCommand && (++commands, consume)) return 1;
        if (message == kw::kReflectedNotify && (++notifies, consume)) return 7;
        return DefaultProc(message, wParam, lParam);
    }
};

HWND Popup(HWND owner = nullptr) {
    return CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 10, 10, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class DialogTest : public HostTest {
protected:
    LRESULT Notify(HWND from, int id, UINT code) {
        NMHDR header = {from, static_cast<UINT_PTR>(id), code};
        return SendMessageW(host_.Handle(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }
    void Command(int id, int code) {
        SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
};

TEST_F(DialogTest, AnswersReachTheSenderExchangeRunsBothWaysOkReadsCancelDoesNot) {
    EXPECT_EQ(Notify(Item(kEdit), kEdit, TestHost::kHandledCode), 0x5A5A);
    EXPECT_EQ(Notify(Item(kEdit), kEdit, NM_CLICK), 0);
    EXPECT_EQ(host_.notifyIds, (std::vector<int>{kEdit, kEdit}));
    host_.throwOnCommand = true;  // the exception stays inside the dialog procedure
    Command(kEdit, EN_CHANGE);
    host_.throwOnCommand = false;

    kw::Button check(host_.Handle(), kCheck);
    kw::Edit edit(host_.Handle(), kEdit);
    host_.checked = 1;
    host_.text = L"1.2.0.7";
    host_.WriteControls();
    EXPECT_TRUE(check.Checked());
    EXPECT_EQ(edit.Text(), L"1.2.0.7");
    check.Click();
    edit.SetText(L"typed");
    SendMessageW(host_.Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(std::to_wstring(host_.checked) + host_.text + L" " + std::to_wstring(host_.Result()), L"0typed 1");
    EXPECT_EQ(host_.Handle(), nullptr);  // a modeless dialog is destroyed
    EXPECT_EQ(host_.destroyed, 1);
    TestHost other;
    ASSERT_NE(other.Create(nullptr), nullptr);
    kw::Edit(other.Handle(), kEdit).SetText(L"dropped");
    SendMessageW(other.Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(other.text + L" " + std::to_wstring(other.Result()), L" 2");
}

TEST_F(DialogTest, OnlyTheDialogsOwnChildrenGetTheirNotificationsReflected) {
    Reflector label;
    HWND control = Item(kLink);
    ASSERT_TRUE(label.Subclass(control));
    host_.commands = 0;
    Command(kLink, STN_CLICKED);
    EXPECT_EQ(label.commands - host_.commands, 1);  // consumed by the control
    EXPECT_EQ(Notify(control, kLink, NM_CLICK), 7);
    EXPECT_TRUE(host_.notifyIds.empty());
    // A control that lets a notification pass leaves it to the dialog.
    label.consume = false;
    Command(kLink, STN_CLICKED);
    EXPECT_EQ(label.commands * 10 + host_.commands, 21);
    // A popup that happens to notify the dialog is not one of its controls.
    Reflector popup;
    HWND other = Popup(host_.Handle());
    ASSERT_TRUE(popup.Subclass(other));
    Notify(other, 5, NM_CLICK);
    EXPECT_EQ(popup.notifies, 0);
    EXPECT_EQ(host_.notifyIds, std::vector<int>{5});
    DestroyWindow(other);
}

TEST(WindowSubclassTest, EachObjectKeepsItsOwnHoldAndLetsGoWhenEitherSideGoesFirst) {
    HWND window = Popup();
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

    class Failing : public kw::WindowSubclass {
        void OnUnsubclassed(HWND) override { throw std::runtime_error("clean-up failed"); }
    } failing;
    ASSERT_TRUE(failing.Subclass(window = Popup()));
    EXPECT_TRUE(DestroyWindow(window));  // the clean-up's exception stays inside
    EXPECT_EQ(failing.Handle(), nullptr);
}

TEST(UserPromptTest, FilterTextIsPairsEndedByAnEmptyString) {
    EXPECT_EQ(kw::BuildFilterText({{L"Resource files", L"*.rc"}, {L"All files", L"*.*"}}),
              std::wstring(L"Resource files\0*.rc\0All files\0*.*\0\0", 35));
}

// The views' own logic: texts longer than a first guess, and rows that do not exist.
TEST_F(DialogTest, ControlViewsReadWholeTextsAndAnswerEmptyForMissingRows) {
    const std::wstring longText(5000, L'w');
    kw::Window label(host_.Handle(), kLink);
    ASSERT_TRUE(label.SetText(longText));
    EXPECT_EQ(label.Text(), longText);
    EXPECT_EQ(kw::WindowText(nullptr), L"");
    kw::ListBox lines(host_.Handle(), kLines);
    for (const wchar_t* line : {L"first", L"", L"third"}) lines.AddLine(line);
    EXPECT_EQ(lines.Line(0) + L"|" + lines.Line(1) + L"|" + lines.Line(2) + L"|" + lines.Line(7), L"first||third|");

    kw::ListView rows(host_.Handle(), kIcons);
    for (int i : {1, 2, 3}) rows.InsertRow(L"row", i, i * 10);
    EXPECT_TRUE(rows.SetRowText(1, longText) && rows.SetImage(1, 7));
    EXPECT_EQ(rows.RowText(1), longText);
    EXPECT_EQ(rows.Image(1), 7);
    EXPECT_EQ(rows.ItemData(rows.FindData(30)), 30);
    EXPECT_EQ(rows.ItemData(99), 0);
}

TEST(MessageOnlyWindowTest, ProcedureGetsTheMessagesAndTheWindowGoesWithTheObject) {
    bool destroyedHandled = false;
    auto procedure = [](void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
        if (message == WM_USER && wParam == 2) throw std::runtime_error("receiver failed");
        if (message == WM_NCDESTROY) *static_cast<bool*>(context) = true;
        handled = message == WM_USER || message == WM_NCDESTROY;
        return 5;
    };
    HWND window = nullptr;
    {
        kw::MessageOnlyWindow receiver(procedure, &destroyedHandled);
        window = receiver.Handle();
        EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 5);
        EXPECT_EQ(SendMessageW(window, WM_USER, 2, 0), 0);  // an exception stays inside
        kw::MessageOnlyWindow other(procedure, &destroyedHandled);
        DestroyWindow(other.Handle());
        EXPECT_TRUE(destroyedHandled);
        EXPECT_FALSE(other);  // let go even though the procedure handled WM_NCDESTROY
    }
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
