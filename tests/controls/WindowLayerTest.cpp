// The thin window layer: dialog dispatch, data exchange and reflection, the control views and the
// message-only window. (Subclass lifetime is driven through the controls built on it.)
#include "controls/ControlsTestSupport.h"
#include "win/UserPrompt.h"
#include "win/WindowSubclass.h"

namespace {

using namespace kwtest;
using DialogTest = HostTest;

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

// Answers reach the sender and a handler's exception stays inside the dialog procedure. Only the
// dialog's own children get their notifications reflected, and a control that lets one pass
// leaves it to the dialog.
TEST_F(DialogTest, AnswersReachTheSenderAndOnlyOwnChildrenGetNotificationsReflected) {
    host_.commands = 0;  // the controls' own start-up notifications
    EXPECT_EQ(Notify(Item(kEdit), kEdit, TestHost::kHandledCode), 0x5A5A);
    EXPECT_EQ(Notify(Item(kEdit), kEdit, NM_CLICK), 0);
    host_.throwOnCommand = true;
    Command(kEdit, EN_CHANGE);
    host_.throwOnCommand = false;

    Reflector label;
    ASSERT_TRUE(label.Subclass(Item(kLink)));
    Command(kLink, STN_CLICKED);
    EXPECT_EQ(Notify(Item(kLink), kLink, NM_CLICK), 7);
    label.consume = false;
    Command(kLink, STN_CLICKED);
    // A popup that happens to notify the dialog is not one of its controls.
    Reflector popup;
    HWND other = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 9, 9, host_.Handle(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(popup.Subclass(other));
    Notify(other, 5, NM_CLICK);
    DestroyWindow(other);
    EXPECT_EQ(host_.notifyIds, (std::vector<int>{kEdit, kEdit, 5}));
    EXPECT_EQ(std::to_string(label.commands) + " " + std::to_string(host_.commands) + " " +
                  std::to_string(popup.notifies),
              "2 2 0");
}

// OK reads the controls and Cancel does not; either destroys a modeless dialog once.
TEST(DialogExchangeTest, WriteFillsTheControlsOkReadsThemBackCancelDoesNot) {
    for (int button : {IDOK, IDCANCEL}) {
        TestHost host;
        ASSERT_NE(host.Create(nullptr), nullptr) << "the tests need an X display";
        kw::Button check(host.Handle(), kCheck);
        kw::Edit edit(host.Handle(), kEdit);
        host.checked = 1;
        host.text = L"1.2.0.7";
        host.WriteControls();
        EXPECT_TRUE(check.Checked() && edit.Text() == L"1.2.0.7");
        check.Click();
        edit.SetText(L"typed");
        SendMessageW(host.Handle(), WM_COMMAND, button, 0);
        EXPECT_EQ(std::to_wstring(host.checked) + host.text + L" " + std::to_wstring(host.Result()) + L" " +
                      std::to_wstring(host.destroyed),
                  button == IDOK ? L"0typed 1 1" : L"11.2.0.7 2 1");
        EXPECT_EQ(host.Handle(), nullptr);
    }
}

TEST(UserPromptTest, FilterTextIsPairsEndedByAnEmptyString) {
    EXPECT_EQ(kw::BuildFilterText({{L"Resource files", L"*.rc"}, {L"All files", L"*.*"}}),
              std::wstring(L"Resource files\0*.rc\0All files\0*.*\0\0", 35));
}

// Texts longer than a first guess come back whole; rows that do not exist read as empty.
TEST_F(DialogTest, ControlViewsReadWholeTextsAndAnswerEmptyForMissingRows) {
    const std::wstring longText(5000, L'w');
    kw::Window label(host_.Handle(), kLink);
    kw::ListBox lines(host_.Handle(), kLines);
    kw::ListView rows(host_.Handle(), kIcons);
    ASSERT_TRUE(label.SetText(longText));
    lines.AddLine(longText);
    for (int i : {1, 2, 3}) rows.InsertRow(L"row", i, i * 10);
    ASSERT_TRUE(rows.SetRowText(1, longText) && rows.SetImage(1, 7));
    EXPECT_EQ(label.Text() + L"|" + lines.Line(0) + L"|" + rows.RowText(1), longText + L"|" + longText + L"|" + longText);
    EXPECT_EQ(lines.Line(7) + rows.RowText(7), L"");
    EXPECT_EQ(std::to_string(rows.Image(1)) + " " + std::to_string(rows.ItemData(rows.FindData(30))) + " " +
                  std::to_string(rows.ItemData(99)),
              "7 30 0");
}

// A receiver's exception (out of memory under a flood of log) stays inside; the window goes with
// the object.
TEST(MessageOnlyWindowTest, ProcedureGetsTheMessagesAndTheWindowGoesWithTheObject) {
    auto procedure = [](void*, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
        if (message == WM_USER && wParam == 2) throw std::runtime_error("receiver failed");
        handled = message == WM_USER;
        return 5;
    };
    HWND window = nullptr;
    {
        kw::MessageOnlyWindow receiver(procedure, nullptr);
        window = receiver.Handle();
        EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 5);
        EXPECT_EQ(SendMessageW(window, WM_USER, 2, 0), 0);
    }
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
