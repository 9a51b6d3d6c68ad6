// The thin window layer: dialog dispatch, the control views and the message-only window.
// (Reflection and subclass lifetime are driven through the controls built on them.)
#include "controls/ControlsTestSupport.h"
#include "win/UserPrompt.h"

namespace {

using namespace kwtest;
using DialogTest = HostTest;

// Answers reach the sender, and a handler's exception stays inside the dialog procedure. (Data
// exchange is driven through the dialogs that have controls to exchange.)
TEST_F(DialogTest, AnswersReachTheSenderAndAHandlersExceptionStaysInside) {
    EXPECT_EQ(Notify(Item(kEdit), kEdit, NM_RETURN), 0x5A5A);
    EXPECT_EQ(Notify(Item(kEdit), kEdit, NM_CLICK), 0);
    host_.throwOnCommand = true;
    Command(kEdit, EN_CHANGE);
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
    for (int i : {1, 2, 3}) rows.InsertRow(longText, 0, i * 10);
    EXPECT_EQ(label.Text() + L"|" + lines.Line(0) + L"|" + rows.RowText(1),
              longText + L"|" + longText + L"|" + longText);
    EXPECT_EQ(lines.Line(7) + rows.RowText(7), L"");
    EXPECT_EQ(std::to_string(rows.ItemData(rows.FindData(30))) + " " + std::to_string(rows.ItemData(99)), "30 0");
}

// A receiver's exception (out of memory under a flood of log) stays inside.
TEST(MessageOnlyWindowTest, ProcedureGetsTheMessagesAndItsExceptionsStayInside) {
    auto procedure = [](void*, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
        if (message == WM_USER && wParam == 2) throw std::runtime_error("receiver failed");
        handled = message == WM_USER;
        return 5;
    };
    kw::MessageOnlyWindow receiver(procedure, nullptr);
    EXPECT_EQ(SendMessageW(receiver.Handle(), WM_USER, 0, 0), 5);
    EXPECT_EQ(SendMessageW(receiver.Handle(), WM_USER, 2, 0), 0);
}

}  // namespace
