// HyperlinkLabel: its pure rules (fitting, the fallback command, the error texts), and the label
// attached to a static control in a dialog: colours, cursor, tooltip, and clicks through
// UserPrompt.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "controls/ControlsTestSupport.h"
#include "controls/FakeLinkShell.h"
#include "controls/HyperlinkLabel.h"
#include "win/Dialog.h"
#include "win/UserPrompt.h"

namespace {

using kw::HyperlinkLabel;
using kwtest::Pump;

// ---- FitRectToText ---------------------------------------------------------------------------

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(FitRectToTextTest, LeftAlignedShrinksToTheTextFromTheTopLeft) {
    RECT fitted = kw::FitRectToText({10, 20, 110, 40}, {30, 13}, SS_LEFT);
    EXPECT_TRUE(Same(fitted, {10, 20, 40, 33}));
}

TEST(FitRectToTextTest, RightAlignedKeepsTheRightEdge) {
    RECT fitted = kw::FitRectToText({10, 20, 110, 40}, {30, 13}, SS_RIGHT);
    EXPECT_TRUE(Same(fitted, {80, 20, 110, 33}));
}

TEST(FitRectToTextTest, CentredShrinksBothSidesByHalfTheSlackTruncated) {
    // Slack 69: each side moves in by 34, so the rectangle stays one pixel wider than the text.
    RECT fitted = kw::FitRectToText({10, 20, 110, 40}, {31, 13}, SS_CENTER);
    EXPECT_TRUE(Same(fitted, {44, 20, 76, 33}));
}

TEST(FitRectToTextTest, CentreImageCentresVertically) {
    RECT fitted = kw::FitRectToText({10, 20, 110, 40}, {30, 13}, SS_LEFT | SS_CENTERIMAGE);
    EXPECT_TRUE(Same(fitted, {10, 23, 40, 37}));
}

TEST(FitRectToTextTest, TextWiderThanTheRectangleGrowsItTruncatingTowardZero) {
    // Slack -31: each side moves out by 15.
    RECT fitted = kw::FitRectToText({10, 20, 110, 40}, {131, 13}, SS_CENTER);
    EXPECT_TRUE(Same(fitted, {-5, 20, 125, 33}));
    RECT left = kw::FitRectToText({10, 20, 110, 40}, {131, 25}, SS_LEFT);
    EXPECT_TRUE(Same(left, {10, 20, 141, 45}));
}

// ---- BuildFallbackCommand --------------------------------------------------------------------

TEST(FallbackCommandTest, QuotedPlaceholderIsCutWithItsQuoteAndEverythingAfter) {
    EXPECT_EQ(kw::BuildFallbackCommand(L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome \"%1\" -x",
                                       L"http://example.org/"),
              L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome  http://example.org/");
}

TEST(FallbackCommandTest, BarePlaceholderIsCutWhenThereIsNoQuotedOne) {
    EXPECT_EQ(kw::BuildFallbackCommand(L"browse.exe %1 -new", L"file:///C:/guide.html"),
              L"browse.exe  file:///C:/guide.html");
}

TEST(FallbackCommandTest, QuotedPlaceholderWinsOverAnEarlierBareOne) {
    EXPECT_EQ(kw::BuildFallbackCommand(L"b.exe %1 \"%1\"", L"x"), L"b.exe %1  x");
}

TEST(FallbackCommandTest, CommandWithoutPlaceholderKeepsEverything) {
    EXPECT_EQ(kw::BuildFallbackCommand(L"\"C:\\B\\b.exe\" -nohome", L"x"), L"\"C:\\B\\b.exe\" -nohome x");
    EXPECT_EQ(kw::BuildFallbackCommand(L"", L"x"), L" x");
}

TEST(FallbackCommandTest, CommandStaysWithinItsBuffer) {
    std::wstring command = kw::BuildFallbackCommand(std::wstring(300, L'c'), std::wstring(300, L'a'));
    EXPECT_EQ(command.size(), 519u);
    EXPECT_EQ(command.substr(0, 301), std::wstring(300, L'c') + L" ");
}

// ---- OpenErrorMessage ------------------------------------------------------------------------

TEST(OpenErrorMessageTest, EveryShellCodeHasItsText) {
    const std::pair<int, const wchar_t*> table[] = {
        {0, L"The operating system is out\nof memory or resources."},
        {2, L"The specified file was not found."},
        {3, L"The specified path was not found."},
        {5, L"The operating system denied\naccess to the specified file."},
        {8, L"There was not enough memory to complete the operation."},
        {11, L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, L"A sharing violation occurred. "},
        {27, L"The filename association is\nincomplete or invalid."},
        {28, L"The DDE transaction could not\nbe completed because the request timed out."},
        {29, L"The DDE transaction failed."},
        {30, L"The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, L"There is no application associated\nwith the given filename extension."},
        {32, L"The specified dynamic-link library was not found."},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(kw::OpenErrorMessage(code), std::wstring(L"Unable to open hyperlink:\n\n") + text) << code;
}

TEST(OpenErrorMessageTest, OtherCodesAreReportedByNumber) {
    EXPECT_EQ(kw::OpenErrorMessage(7), L"Unable to open hyperlink:\n\nUnknown Error (7) occurred.");
    EXPECT_EQ(kw::OpenErrorMessage(-3), L"Unable to open hyperlink:\n\nUnknown Error (-3) occurred.");
    EXPECT_EQ(kw::OpenErrorMessage(1), L"Unable to open hyperlink:\n\nUnknown Error (1) occurred.");
}

// ---- the label in a dialog -------------------------------------------------------------------

constexpr int kLink = 1051;
constexpr int kEmpty = 1052;
constexpr int kRight = 1053;

const DLGTEMPLATE* LabelTemplate() {
    static kwtest::DialogTemplate* layout = [] {
        auto* t = new kwtest::DialogTemplate(L"Label host", 200, 80);
        t->Add(L"STATIC", L"Kilnworks home", kLink, SS_LEFT, 10, 10, 150, 8);
        t->Add(L"STATIC", L"", kEmpty, SS_LEFT, 10, 25, 150, 8);
        t->Add(L"STATIC", L"Right side", kRight, SS_RIGHT, 10, 40, 150, 8);
        t->Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 60, 50, 14);
        return t;
    }();
    return layout->Get();
}

class LabelHost : public kw::Dialog {
public:
    LabelHost() : Dialog(LabelTemplate()) {}
};

std::wstring WindowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

SIZE TextExtent(HWND control) {
    std::wstring text = WindowText(control);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring TooltipText(const HyperlinkLabel& label) {
    wchar_t buffer[512] = {};
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = label.Handle();
    tool.uId = 1;
    tool.lpszText = buffer;
    SendMessageW(label.Tooltip(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

bool Underlined(HWND control) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfUnderline != 0;
}

class HyperlinkLabelTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host_.Create(nullptr), nullptr) << "the tests need an X display";
        label_.SetShell(shell_);
    }

    HWND Control(int id) const { return host_.Item(id); }

    // The colour the dialog hands the label's text to, through the reflected colour request.
    COLORREF PaintColour(HBRUSH* brush = nullptr, int* mode = nullptr) {
        HDC dc = CreateCompatibleDC(nullptr);
        auto answer = SendMessageW(host_.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(label_.Handle()));
        COLORREF colour = GetTextColor(dc);
        if (brush) *brush = reinterpret_cast<HBRUSH>(answer);
        if (mode) *mode = GetBkMode(dc);
        DeleteDC(dc);
        return colour;
    }

    void Click() {
        SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(kLink, STN_CLICKED),
                     reinterpret_cast<LPARAM>(label_.Handle()));
    }

    LabelHost host_;
    kwtest::FakeLinkShell shell_;
    kw::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    HyperlinkLabel label_;
};

TEST_F(HyperlinkLabelTest, AttachTakesTheWindowTextAsTargetAndShowsItInTheTooltip) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    EXPECT_EQ(label_.Target(), L"Kilnworks home");
    EXPECT_EQ(WindowText(Control(kLink)), L"Kilnworks home");
    ASSERT_NE(label_.Tooltip(), nullptr);
    EXPECT_EQ(TooltipText(label_), L"Kilnworks home");
    EXPECT_NE(GetWindowLongPtrW(Control(kLink), GWL_STYLE) & SS_NOTIFY, 0);
    EXPECT_TRUE(Underlined(Control(kLink)));
}

TEST_F(HyperlinkLabelTest, TargetGivenBeforeAttachFillsAnEmptyLabel) {
    label_.SetLink(L"file:///C:/Kilnworks/kilnworks-guide.html");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kEmpty));
    EXPECT_EQ(WindowText(Control(kEmpty)), L"file:///C:/Kilnworks/kilnworks-guide.html");
    EXPECT_EQ(TooltipText(label_), L"file:///C:/Kilnworks/kilnworks-guide.html");
}

TEST_F(HyperlinkLabelTest, SetLinkNeverChangesTheWindowText) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kEmpty));
    EXPECT_EQ(label_.Target(), L"");
    label_.SetLink(L"http://example.org/");
    EXPECT_EQ(label_.Target(), L"http://example.org/");
    EXPECT_EQ(TooltipText(label_), L"http://example.org/");
    EXPECT_EQ(WindowText(Control(kEmpty)), L"");
    RECT rect = RectInParent(Control(kEmpty));
    EXPECT_EQ(rect.right - rect.left, 0);  // still fitted to the empty text
}

TEST_F(HyperlinkLabelTest, LeftAlignedLabelShrinksToExactlyItsText) {
    RECT before = RectInParent(Control(kLink));
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    RECT after = RectInParent(Control(kLink));
    SIZE text = TextExtent(Control(kLink));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, text.cx);
    EXPECT_EQ(after.bottom - after.top, text.cy);
    EXPECT_LT(after.right, before.right);
}

TEST_F(HyperlinkLabelTest, RightAlignedLabelKeepsItsRightEdge) {
    RECT before = RectInParent(Control(kRight));
    ASSERT_TRUE(label_.Attach(host_.Handle(), kRight));
    RECT after = RectInParent(Control(kRight));
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.right - after.left, TextExtent(Control(kRight)).cx);
}

TEST_F(HyperlinkLabelTest, UnderlineCanBeSwitchedOffAndOn) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    label_.SetUnderlined(false);
    EXPECT_FALSE(Underlined(Control(kLink)));
    EXPECT_FALSE(label_.Underlined());
    label_.SetUnderlined(true);
    EXPECT_TRUE(Underlined(Control(kLink)));
}

TEST_F(HyperlinkLabelTest, ColourFollowsNormalVisitedAndHover) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    HBRUSH brush = nullptr;
    int mode = 0;
    EXPECT_EQ(PaintColour(&brush, &mode), RGB(0, 0, 238));
    EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(mode, TRANSPARENT);

    label_.MarkVisited(true);
    EXPECT_EQ(PaintColour(), RGB(85, 26, 139));

    // The mouse arrives: hover colour, and the label holds the mouse to see it leave.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(label_.Hovering());
    EXPECT_EQ(GetCapture(), label_.Handle());
    EXPECT_EQ(PaintColour(), GetSysColor(COLOR_HIGHLIGHT));

    // Moving within changes nothing; leaving restores the visited colour and frees the mouse.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 1));
    EXPECT_TRUE(label_.Hovering());
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(-4, -4));
    EXPECT_FALSE(label_.Hovering());
    EXPECT_NE(GetCapture(), label_.Handle());
    EXPECT_EQ(PaintColour(), RGB(85, 26, 139));

    label_.MarkVisited(false);
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
}

TEST_F(HyperlinkLabelTest, HoverEndsWhenAnotherWindowTakesTheMouse) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    ASSERT_TRUE(label_.Hovering());
    SetCapture(Control(IDOK));
    EXPECT_FALSE(label_.Hovering());
    ReleaseCapture();
}

TEST_F(HyperlinkLabelTest, HandCursorIsShownOverTheLabel) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    ASSERT_NE(label_.HandCursor(), nullptr);
    LRESULT handled = SendMessageW(label_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label_.Handle()),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(handled, TRUE);
    EXPECT_EQ(GetCursor(), label_.HandCursor());
}

TEST_F(HyperlinkLabelTest, WithoutTheOldHelpProgramsCursorTheSystemHandIsUsed) {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    HCURSOR old = kw::LoadCursorFromProgram(std::wstring(folder) + L"\\winhlp32.exe", 106);
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    if (old == nullptr) {
        EXPECT_EQ(label_.HandCursor(), LoadCursorW(nullptr, IDC_HAND));
    } else {
        DestroyCursor(old);
        EXPECT_NE(label_.HandCursor(), LoadCursorW(nullptr, IDC_HAND));
    }
}

TEST(LoadCursorFromProgramTest, MissingProgramOrCursorGivesNothing) {
    EXPECT_EQ(kw::LoadCursorFromProgram(L"C:\\no\\such\\folder\\winhlp32.exe", 106), nullptr);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(kw::LoadCursorFromProgram(self, 106), nullptr);
}

// ---- clicks ----------------------------------------------------------------------------------

TEST_F(HyperlinkLabelTest, SuccessfulClickOpensTheTargetAndMarksTheLinkVisited) {
    label_.SetLink(L"http://example.org/");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    Click();
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0].first, L"http://example.org/");
    EXPECT_EQ(shell_.opened[0].second, SW_SHOW);
    EXPECT_TRUE(shell_.keysRead.empty());
    EXPECT_TRUE(label_.Visited());
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_TRUE(prompt_.beeps.empty());
}

TEST_F(HyperlinkLabelTest, MouseClickOnTheControlReachesTheLabel) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    SendMessageW(label_.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label_.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump(host_.Handle());
    EXPECT_EQ(shell_.opened.size(), 1u);
}

TEST_F(HyperlinkLabelTest, FailedClickBeepsAndShowsTheShellsError) {
    shell_.shellResult = SE_ERR_FNF;
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    label_.MarkVisited(true);
    Click();
    ASSERT_EQ(prompt_.beeps.size(), 1u);
    EXPECT_EQ(prompt_.beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(prompt_.messages[0].caption, L"Kilnworks");
    EXPECT_EQ(prompt_.messages[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK));
    EXPECT_EQ(prompt_.messages[0].owner, host_.Handle());
    // The failure also forgets the earlier visit.
    EXPECT_FALSE(label_.Visited());
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
    // Nothing else changed: the label can be clicked again.
    Click();
    EXPECT_EQ(prompt_.messages.size(), 2u);
}

TEST_F(HyperlinkLabelTest, FallbackStartsTheRegisteredBrowserWithTheAddress) {
    shell_.shellResult = SE_ERR_NOASSOC;
    shell_.keys[L".htm"] = L"htmlfile";
    shell_.keys[L"htmlfile\\shell\\open\\command"] = L"\"C:\\Browser\\browse.exe\" -nohome \"%1\"";
    label_.SetLink(L"file:///C:/Kilnworks/kilnworks-guide.html");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    Click();
    ASSERT_EQ(shell_.executed.size(), 1u);
    EXPECT_EQ(shell_.executed[0].first, "\"C:\\Browser\\browse.exe\" -nohome  file:///C:/Kilnworks/kilnworks-guide.html");
    EXPECT_EQ(shell_.executed[0].second, SW_SHOW);
    EXPECT_TRUE(label_.Visited());
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(HyperlinkLabelTest, FallbackFailureReportsTheStartersCode) {
    shell_.shellResult = SE_ERR_NOASSOC;
    shell_.execResult = ERROR_FILE_NOT_FOUND;
    shell_.keys[L".htm"] = L"htmlfile";
    shell_.keys[L"htmlfile\\shell\\open\\command"] = L"browse.exe %1";
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    Click();
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"Unable to open hyperlink:\n\nThe specified file was not found.");
}

TEST_F(HyperlinkLabelTest, UnreadableRegistryReportsTheShellsOwnCode) {
    shell_.shellResult = SE_ERR_NOASSOC;
    shell_.keys[L".htm"] = L"htmlfile";  // but no command for it
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    Click();
    EXPECT_TRUE(shell_.executed.empty());
    ASSERT_EQ(shell_.keysRead.size(), 2u);
    EXPECT_EQ(shell_.keysRead[1], L"htmlfile\\shell\\open\\command");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text,
              L"Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
}

// ---- lifetime --------------------------------------------------------------------------------

TEST_F(HyperlinkLabelTest, LabelGoingFirstGivesTheControlItsFontBack) {
    HWND control = Control(kLink);
    auto original = SendMessageW(control, WM_GETFONT, 0, 0);
    {
        HyperlinkLabel label;
        ASSERT_TRUE(label.Attach(control));
        EXPECT_NE(SendMessageW(control, WM_GETFONT, 0, 0), original);
    }
    EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0), original);
    // The control lives on without the label.
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(kLink, STN_CLICKED), reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(HyperlinkLabelTest, ControlGoingFirstLeavesTheLabelDetached) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    HWND tooltip = label_.Tooltip();
    DestroyWindow(Control(kLink));
    EXPECT_EQ(label_.Handle(), nullptr);
    EXPECT_FALSE(IsWindow(tooltip));
    label_.SetLink(L"http://example.org/");  // no window any more: only the target changes
    EXPECT_EQ(label_.Target(), L"http://example.org/");
}

}  // namespace
