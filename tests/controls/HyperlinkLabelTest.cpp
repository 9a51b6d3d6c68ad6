// HyperlinkLabel: its pure rules (fitting, the fallback command, the error texts), and the label
// attached to a static control in a dialog: colours, cursor, tooltip, and clicks through
// UserPrompt.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "common/TestSupport.h"
#include "controls/ControlsTestSupport.h"
#include "controls/FakeLinkShell.h"
#include "controls/HyperlinkLabel.h"
#include "win/Dialog.h"
#include "win/Controls.h"
#include "win/UserPrompt.h"

namespace {

using kw::HyperlinkLabel;
using kwtest::Pump;
using kw::WindowText;

// ---- pure rules ------------------------------------------------------------------------------

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(FitRectToTextTest, FollowsTheLabelsAlignment) {
    const RECT box = {10, 20, 110, 40};
    struct Case {
        const char* what;
        SIZE text;
        LONG style;
        RECT fitted;
    } cases[] = {
        {"left: from the top left", {30, 13}, SS_LEFT, {10, 20, 40, 33}},
        {"right: keeps the right edge", {30, 13}, SS_RIGHT, {80, 20, 110, 33}},
        // Slack 69: each side moves in by 34, one pixel wider than the text.
        {"centred: half the slack, truncated", {31, 13}, SS_CENTER, {44, 20, 76, 33}},
        {"centre image: centred vertically", {30, 13}, SS_LEFT | SS_CENTERIMAGE, {10, 23, 40, 37}},
        // Slack -31: each side moves out by 15.
        {"wider text grows a centred label", {131, 13}, SS_CENTER, {-5, 20, 125, 33}},
        {"larger text grows a left label", {131, 25}, SS_LEFT, {10, 20, 141, 45}},
    };
    for (const Case& c : cases) EXPECT_TRUE(Same(kw::FitRectToText(box, c.text, c.style), c.fitted)) << c.what;
}

TEST(FallbackCommandTest, CutsThePlaceholderAndAppendsTheAddressAsOneArgument) {
    struct Case {
        const wchar_t* registered;
        const wchar_t* address;
        const wchar_t* command;
    } cases[] = {
        // A quoted placeholder goes with its quote and everything after it.
        {L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome \"%1\" -x", L"http://example.org/",
         L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome  http://example.org/"},
        {L"browse.exe %1 -new", L"file:///C:/guide.html", L"browse.exe  file:///C:/guide.html"},
        {L"b.exe %1 \"%1\"", L"x", L"b.exe %1  x"},
        // Without a placeholder the whole command stays.
        {L"\"C:\\B\\b.exe\" -nohome", L"x", L"\"C:\\B\\b.exe\" -nohome x"},
        {L"", L"x", L" x"},
        // Whatever the address holds, it stays one argument: quoted only when it must be.
        {L"b.exe %1", L"C:\\Program Files\\Kilnworks\\guide.html",
         L"b.exe  \"C:\\Program Files\\Kilnworks\\guide.html\""},
        {L"b.exe %1", L"http://x/\" -evil \"", L"b.exe  \"http://x/%22 -evil %22\""},
        {L"b.exe %1", L"C:\\Guides\\", L"b.exe  C:\\Guides\\"},
        {L"b.exe %1", L"C:\\My Guides\\", L"b.exe  \"C:\\My Guides\\\\\""},
    };
    for (const Case& c : cases) {
        std::wstring command = kw::BuildFallbackCommand(c.registered, c.address);
        EXPECT_EQ(command, c.command) << kwtest::Narrow(c.command);
        // Split as the browser will split it, the address is the last argument, in one piece.
        std::wstring address = c.address;
        for (size_t quote; (quote = address.find(L'"')) != std::wstring::npos;) address.replace(quote, 1, L"%22");
        int count = 0;
        LPWSTR* arguments = CommandLineToArgvW((L"b.exe " + command).c_str(), &count);
        ASSERT_NE(arguments, nullptr);
        EXPECT_EQ(arguments[count - 1], address) << kwtest::Narrow(c.command);
        LocalFree(arguments);
    }
}

TEST(FallbackCommandTest, LongCommandIsWholeOrNotAtAll) {
    std::wstring command = kw::BuildFallbackCommand(std::wstring(300, L'c'), std::wstring(300, L'a'));
    EXPECT_EQ(command, std::wstring(300, L'c') + L" " + std::wstring(300, L'a'));
    // The system starts command lines of up to 32766 characters.
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32765, L'a')).size(), 32766u);
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32766, L'a')), L"");
}

TEST(OpenErrorMessageTest, EveryShellCodeHasItsTextOthersTheirNumber) {
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
        {7, L"Unknown Error (7) occurred."},
        {-3, L"Unknown Error (-3) occurred."},
        {1, L"Unknown Error (1) occurred."},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(kw::OpenErrorMessage(code), std::wstring(L"Unable to open hyperlink:\n\n") + text) << code;
}

// ---- the registry as the system shell reads it -----------------------------------------------

// A class key of our own under HKEY_CLASSES_ROOT, removed again afterwards.
class ClassesRootKey {
public:
    explicit ClassesRootKey(const wchar_t* name) : name_(name) {}
    ~ClassesRootKey() { RegDeleteTreeW(HKEY_CLASSES_ROOT, name_.c_str()); }
    bool SetDefault(DWORD type, const std::wstring& value) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, name_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        LONG status = RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }

private:
    std::wstring name_;
};

TEST(SystemLinkShellTest, ReadsLongAndExpandableCommands) {
    ClassesRootKey key(L"Kilnworks.TestPage");
    kw::LinkShell& shell = kw::SystemLinkShell();
    std::wstring value;
    EXPECT_FALSE(shell.ReadClassesRootDefault(L"Kilnworks.TestPage", value));

    // Longer than a path: read whole.
    std::wstring longCommand = L"\"C:\\Browser\\browse.exe\" " + std::wstring(400, L'x') + L" \"%1\"";
    ASSERT_TRUE(key.SetDefault(REG_SZ, longCommand));
    ASSERT_TRUE(shell.ReadClassesRootDefault(L"Kilnworks.TestPage", value));
    EXPECT_EQ(value, longCommand);

    // Expandable: the variables are filled in.
    ASSERT_TRUE(SetEnvironmentVariableW(L"KW_TEST_BROWSER_DIR", L"C:\\Browser"));
    ASSERT_TRUE(key.SetDefault(REG_EXPAND_SZ, L"\"%KW_TEST_BROWSER_DIR%\\browse.exe\" \"%1\""));
    ASSERT_TRUE(shell.ReadClassesRootDefault(L"Kilnworks.TestPage", value));
    EXPECT_EQ(value, L"\"C:\\Browser\\browse.exe\" \"%1\"");
    SetEnvironmentVariableW(L"KW_TEST_BROWSER_DIR", nullptr);
}

TEST(SystemLinkShellTest, StartsAProgramInAFolderTheAnsiCodePageCannotSpell) {
    kwtest::ScratchDir folder(L"\u0141\u00f3d\u017a \u65e5\u672c");
    std::wstring program = folder.File(L"argv-echo.exe");
    ASSERT_TRUE(CopyFileW((kwtest::ProgramFolder() + L"\\tools\\argv-echo.exe").c_str(), program.c_str(), FALSE));
    kw::LinkShell& shell = kw::SystemLinkShell();
    EXPECT_GT(shell.Exec(L"\"" + program + L"\"", SW_HIDE), 31);
    EXPECT_EQ(shell.Exec(L"\"" + folder.File(L"missing.exe") + L"\"", SW_HIDE), ERROR_FILE_NOT_FOUND);
    // The folder goes once the program has ended.
    for (int i = 0; i < 200 && !DeleteFileW(program.c_str()); ++i) Sleep(50);
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

    label_.SetUnderlined(false);
    EXPECT_FALSE(Underlined(Control(kLink)));
    EXPECT_FALSE(label_.Underlined());
    label_.SetUnderlined(true);
    EXPECT_TRUE(Underlined(Control(kLink)));
}

TEST_F(HyperlinkLabelTest, TargetFillsAnEmptyLabelOnAttachButSetLinkLaterNeverChangesTheText) {
    const std::wstring guide = L"file:///C:/Kilnworks/kilnworks-guide.html";
    {
        HyperlinkLabel early;
        early.SetLink(guide);
        ASSERT_TRUE(early.Attach(host_.Handle(), kEmpty));
        EXPECT_EQ(WindowText(Control(kEmpty)), guide);
        EXPECT_EQ(TooltipText(early), guide);
    }
    SetWindowTextW(Control(kEmpty), L"");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kEmpty));
    EXPECT_EQ(label_.Target(), L"");
    label_.SetLink(L"http://example.org/");
    EXPECT_EQ(label_.Target(), L"http://example.org/");
    EXPECT_EQ(TooltipText(label_), L"http://example.org/");
    EXPECT_EQ(WindowText(Control(kEmpty)), L"");
    RECT rect = RectInParent(Control(kEmpty));
    EXPECT_EQ(rect.right - rect.left, 0);  // fitted to the empty text
}

TEST_F(HyperlinkLabelTest, AttachFitsTheLabelToItsTextOnItsAlignedSide) {
    for (int id : {kLink, kRight}) {
        HyperlinkLabel label;
        RECT before = RectInParent(Control(id));
        ASSERT_TRUE(label.Attach(host_.Handle(), id));
        RECT after = RectInParent(Control(id));
        SIZE text = TextExtent(Control(id));
        EXPECT_EQ(after.top, before.top) << id;
        EXPECT_EQ(after.right - after.left, text.cx) << id;
        EXPECT_EQ(after.bottom - after.top, text.cy) << id;
        EXPECT_LT(after.right - after.left, before.right - before.left) << id;
        if (id == kRight) {
            EXPECT_EQ(after.right, before.right);
        } else {
            EXPECT_EQ(after.left, before.left);
        }
    }
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

    // Hovering also ends when another window takes the mouse.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    ASSERT_TRUE(label_.Hovering());
    SetCapture(Control(IDOK));
    EXPECT_FALSE(label_.Hovering());
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
    ReleaseCapture();
}

TEST_F(HyperlinkLabelTest, HandCursorIsTheOldHelpProgramsOrElseTheSystemHand) {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    HCURSOR old = kw::LoadCursorFromProgram(std::wstring(folder) + L"\\winhlp32.exe", 106);
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    ASSERT_NE(label_.HandCursor(), nullptr);
    if (old == nullptr) {
        EXPECT_EQ(label_.HandCursor(), LoadCursorW(nullptr, IDC_HAND));
    } else {
        DestroyCursor(old);
        EXPECT_NE(label_.HandCursor(), LoadCursorW(nullptr, IDC_HAND));
    }

    LRESULT handled = SendMessageW(label_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label_.Handle()),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(handled, TRUE);
    EXPECT_EQ(GetCursor(), label_.HandCursor());

    // A missing program, or one without that cursor, gives nothing.
    EXPECT_EQ(kw::LoadCursorFromProgram(L"C:\\no\\such\\folder\\winhlp32.exe", 106), nullptr);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(kw::LoadCursorFromProgram(self, 106), nullptr);
}

// ---- clicks ----------------------------------------------------------------------------------

TEST_F(HyperlinkLabelTest, MouseClickOpensTheTargetAndMarksTheLinkVisited) {
    label_.SetLink(L"http://example.org/");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    SendMessageW(label_.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label_.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump(host_.Handle());
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0].first, L"http://example.org/");
    EXPECT_EQ(shell_.opened[0].second, SW_SHOW);
    EXPECT_TRUE(shell_.keysRead.empty());
    EXPECT_TRUE(label_.Visited());
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_TRUE(prompt_.beeps.empty());
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

TEST_F(HyperlinkLabelTest, FailedShellOpenFallsBackToTheRegisteredBrowser) {
    const wchar_t* kCommandKey = L"htmlfile\\shell\\open\\command";
    struct Case {
        const char* what;
        const wchar_t* command;  // registered for web pages; nullptr for none
        int execResult;
        const wchar_t* executed;  // nullptr when nothing may be started
        const wchar_t* error;    // nullptr when the link opened
    } cases[] = {
        {"browser starts", L"\"C:\\Browser\\browse.exe\" -nohome \"%1\"", 33,
         L"\"C:\\Browser\\browse.exe\" -nohome  file:///C:/Kilnworks/kilnworks-guide.html", nullptr},
        {"browser fails: its code", L"browse.exe %1", ERROR_FILE_NOT_FOUND,
         L"browse.exe  file:///C:/Kilnworks/kilnworks-guide.html", L"The specified file was not found."},
        {"no command: the shell's code", nullptr, 33, nullptr,
         L"There is no application associated\nwith the given filename extension."},
    };
    label_.SetLink(L"file:///C:/Kilnworks/kilnworks-guide.html");
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    for (const Case& c : cases) {
        shell_ = kwtest::FakeLinkShell();
        shell_.shellResult = SE_ERR_NOASSOC;
        shell_.execResult = c.execResult;
        shell_.keys[L".htm"] = L"htmlfile";
        if (c.command != nullptr) shell_.keys[kCommandKey] = c.command;
        prompt_.messages.clear();
        Click();

        ASSERT_EQ(shell_.keysRead.size(), 2u) << c.what;
        EXPECT_EQ(shell_.keysRead[1], kCommandKey) << c.what;
        if (c.executed == nullptr) {
            EXPECT_TRUE(shell_.executed.empty()) << c.what;
        } else {
            ASSERT_EQ(shell_.executed.size(), 1u) << c.what;
            EXPECT_EQ(shell_.executed[0].first, c.executed) << c.what;
            EXPECT_EQ(shell_.executed[0].second, SW_SHOW) << c.what;
        }
        EXPECT_EQ(label_.Visited(), c.error == nullptr) << c.what;
        if (c.error == nullptr) {
            EXPECT_TRUE(prompt_.messages.empty()) << c.what;
        } else {
            ASSERT_EQ(prompt_.messages.size(), 1u) << c.what;
            EXPECT_EQ(prompt_.messages[0].text, std::wstring(L"Unable to open hyperlink:\n\n") + c.error) << c.what;
        }
    }
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
