// HyperlinkLabel: its pure rules (the fallback command), the system shell's registry
// and program start, and the label on a static control in a dialog; the About box that shows one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/ScriptedPrompt.h"
#include "common/TestSupport.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "controls/HyperlinkLabel.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Handles.h"
#include "win/UserPrompt.h"

namespace {

using namespace kwtest;
using kw::HyperlinkLabel;
using kw::WindowText;

TEST(FallbackCommandTest, CutsThePlaceholderAndAppendsTheAddressAsOneArgument) {
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        // A quoted placeholder goes with its quote and everything after it.
        {L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome \"%1\" -x", L"http://example.org/",
         L"\"C:\\Program Files\\Browser\\browse.exe\" -nohome  http://example.org/"},
        {L"browse.exe %1 -new", L"file:///C:/guide.html", L"browse.exe  file:///C:/guide.html"},
        {L"b.exe %1 \"%1\"", L"x", L"b.exe %1  x"},
        {L"\"C:\\B\\b.exe\" -nohome", L"x", L"\"C:\\B\\b.exe\" -nohome x"},  // no placeholder
        {L"", L"x", L" x"},
        // Whatever the address holds, it stays one argument (quotes escaped): quoted only when it must be.
        {L"b.exe %1", L"C:\\Program Files\\K\\guide.html", L"b.exe  \"C:\\Program Files\\K\\guide.html\""},
        {L"b.exe %1", L"http://x/\" -evil \"", L"b.exe  \"http://x/%22 -evil %22\""},
        {L"b.exe %1", L"C:\\Guides\\", L"b.exe  C:\\Guides\\"},
        {L"b.exe %1", L"C:\\My Guides\\", L"b.exe  \"C:\\My Guides\\\\\""},
    };
    for (const auto& [registered, address, expected] : cases) {
        EXPECT_EQ(kw::BuildFallbackCommand(registered, address), expected) << Narrow(expected);
    }
    // The system starts command lines of up to 32766 characters: whole or not at all.
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32765, L'a')).size(), 32766u);
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32766, L'a')), L"");
}

TEST(SystemLinkShellTest, ReadsLongAndExpandableCommandsAndStartsProgramsInAnyFolder) {
    const wchar_t* name = L"Kilnworks.TestPage";
    auto set = [&](DWORD type, const std::wstring& value) {
        kw::RegKeyHandle key;
        return RegCreateKeyExW(HKEY_CLASSES_ROOT, name, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Out(), nullptr) ==
                   ERROR_SUCCESS &&
               RegSetValueExW(key.Get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    kw::LinkShell& shell = kw::SystemLinkShell();
    std::wstring value;
    EXPECT_FALSE(shell.ReadClassesRootDefault(name, value));
    const std::wstring longCommand = L"\"C:\\Browser\\browse.exe\" " + std::wstring(400, L'x') + L" \"%1\"";
    ASSERT_TRUE(set(REG_SZ, longCommand));
    EXPECT_TRUE(shell.ReadClassesRootDefault(name, value) && value == longCommand);
    SetEnvironmentVariableW(L"KW_TEST_BROWSER_DIR", L"C:\\Browser");
    ASSERT_TRUE(set(REG_EXPAND_SZ, L"\"%KW_TEST_BROWSER_DIR%\\browse.exe\" \"%1\""));
    EXPECT_TRUE(shell.ReadClassesRootDefault(name, value));
    EXPECT_EQ(value, L"\"C:\\Browser\\browse.exe\" \"%1\"");
    SetEnvironmentVariableW(L"KW_TEST_BROWSER_DIR", nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, name);

    // A folder the ANSI code page cannot spell.
    ScratchDir folder(L"\u0141\u00f3d\u017a \u65e5\u672c");
    std::wstring program = folder.File(L"argv-echo.exe");
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\tools\\argv-echo.exe").c_str(), program.c_str(), FALSE));
    EXPECT_GT(shell.Exec(L"\"" + program + L"\"", SW_HIDE), 31);
    EXPECT_EQ(shell.Exec(L"\"" + folder.File(L"missing.exe") + L"\"", SW_HIDE), ERROR_FILE_NOT_FOUND);
    for (int i = 0; i < 200 && !DeleteFileW(program.c_str()); ++i) Sleep(50);  // once it has ended
}

// Records what a label asks of the system and answers from a script.
class FakeLinkShell : public kw::LinkShell {
public:
    int ShellOpen(const std::wstring& address, int show) override {
        opened.emplace_back(address, show);
        return shellResult;
    }
    bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) override {
        if (keys.count(key) == 0) return false;
        value = keys[key];
        return true;
    }
    int Exec(const std::wstring& command, int show) override {
        executed.emplace_back(command, show);
        return execResult;
    }

    int shellResult = 42;
    int execResult = 33;
    std::map<std::wstring, std::wstring> keys;
    std::vector<std::pair<std::wstring, int>> opened;
    std::vector<std::pair<std::wstring, int>> executed;
};

std::wstring TooltipText(const HyperlinkLabel& label) {
    wchar_t buffer[512] = {};
    TTTOOLINFOW tool = {sizeof(tool), 0, label.Handle(), 1};
    tool.lpszText = buffer;
    SendMessageW(label.Tooltip(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

bool Underlined(HWND control) {
    LOGFONTW font = {};
    GetObjectW(kw::Window(control).Font(), sizeof(font), &font);
    return font.lfUnderline != 0;
}

class HyperlinkLabelTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        label_.SetShell(shell_);
    }
    // The colour the dialog hands the label's text to, through the reflected colour request;
    // the background is always left alone.
    COLORREF PaintColour() {
        HDC dc = CreateCompatibleDC(nullptr);
        auto brush = SendMessageW(host_.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(label_.Handle()));
        COLORREF colour = GetTextColor(dc);
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
        DeleteDC(dc);
        return colour;
    }

    FakeLinkShell shell_;
    kwtest::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    HyperlinkLabel label_;
};

// Attach takes the text as the target, or shows a target set before on an empty label; the
// target goes in the tooltip, the text is underlined, and the label fitted on its aligned side.
TEST_F(HyperlinkLabelTest, AttachTakesOrShowsTheTargetUnderlinesAndFitsTheLabel) {
    const std::wstring guide = L"file:///C:/Kilnworks/kilnworks-guide.html";
    const std::pair<int, std::wstring> cases[] = {
        {kLink, L"Kilnworks home"}, {kEmptyLabel, guide}, {kRightLabel, L"Right side"}};
    for (const auto& [id, text] : cases) {
        HyperlinkLabel label;
        if (id == kEmptyLabel) label.SetLink(guide);
        RECT before, after;
        GetWindowRect(Item(id), &before);
        ASSERT_TRUE(label.Attach(host_.Handle(), id));
        GetWindowRect(Item(id), &after);
        EXPECT_EQ(label.Target() + L"|" + WindowText(Item(id)) + L"|" + TooltipText(label),
                  text + L"|" + text + L"|" + text);
        EXPECT_TRUE(Underlined(Item(id)) && (kw::Window(Item(id)).Style() & SS_NOTIFY)) << id;
        // Fitted to its text: the aligned side stays where the dialog put it.
        EXPECT_EQ(id == kRightLabel ? after.right : after.left, id == kRightLabel ? before.right : before.left) << id;
        EXPECT_LT(after.right - after.left, before.right - before.left) << id;
    }
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    label_.SetUnderlined(false);
    EXPECT_FALSE(Underlined(Item(kLink)) || label_.Underlined());
    label_.SetLink(L"http://example.org/");  // changes the target and the tooltip, never the text
    EXPECT_EQ(label_.Target() + L"|" + TooltipText(label_) + L"|" + WindowText(Item(kLink)),
              L"http://example.org/|http://example.org/|Kilnworks home");
}

TEST_F(HyperlinkLabelTest, ColourFollowsNormalVisitedAndHoverAndTheCursorIsAHand) {
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
    label_.MarkVisited(true);
    EXPECT_EQ(PaintColour(), RGB(85, 26, 139));
    // The mouse arrives: hover colour, and the label holds the mouse to see it leave.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(label_.Hovering() && GetCapture() == label_.Handle());
    EXPECT_EQ(PaintColour(), GetSysColor(COLOR_HIGHLIGHT));
    // Moving within changes nothing; leaving restores the visited colour and frees the mouse.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 1));
    EXPECT_TRUE(label_.Hovering());
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(-4, -4));
    EXPECT_FALSE(label_.Hovering() || GetCapture() == label_.Handle());
    EXPECT_EQ(PaintColour(), RGB(85, 26, 139));
    label_.MarkVisited(false);
    // Hovering also ends when another window takes the mouse.
    SendMessageW(label_.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    ASSERT_TRUE(label_.Hovering());
    SetCapture(Item(kEdit));
    EXPECT_FALSE(label_.Hovering());
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
    ReleaseCapture();

    // Over the label the cursor is a hand: the old help program's where it still exists, else the
    // system's; a missing program, or one without that cursor, gives nothing.
    SendMessageW(label_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label_.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), label_.HandCursor());
    EXPECT_NE(GetCursor(), nullptr);
    EXPECT_EQ(kw::LoadCursorFromProgram(L"C:\\no\\such\\folder\\winhlp32.exe", 106), nullptr);
    EXPECT_EQ(kw::LoadCursorFromProgram(ProgramFolder() + L"\\test_controls.exe", 106), nullptr);
}

// A mouse click opens the address in the shell or, failing that, with the browser registered
// for web pages; a failure beeps, names the reason and forgets an earlier visit.
TEST_F(HyperlinkLabelTest, ClickOpensTheLinkOrFallsBackToTheRegisteredBrowserOrShowsWhyNot) {
    const wchar_t* kCommandKey = L"htmlfile\\shell\\open\\command";
    const std::wstring address = L"file:///C:/Kilnworks/kilnworks-guide.html";
    struct Case {
        int shellResult;
        const wchar_t* command;  // registered for web pages; nullptr for none
        int execResult;
        const wchar_t* executed;  // nullptr when nothing may be started
        const wchar_t* error;     // nullptr when the link opened
    } cases[] = {
        {42, L"b.exe %1", 33, nullptr, nullptr},
        {SE_ERR_NOASSOC, L"\"C:\\Browser\\browse.exe\" -nohome \"%1\"", 33, L"\"C:\\Browser\\browse.exe\" -nohome  ",
         nullptr},
        {SE_ERR_NOASSOC, L"browse.exe %1", ERROR_FILE_NOT_FOUND, L"browse.exe  ", L"The specified file was not found."},
        {SE_ERR_NOASSOC, nullptr, 33, nullptr, L"There is no application associated\nwith the given filename extension."},
    };
    label_.SetLink(address);
    ASSERT_TRUE(label_.Attach(host_.Handle(), kLink));
    for (const Case& c : cases) {
        shell_ = FakeLinkShell();
        shell_.shellResult = c.shellResult;
        shell_.execResult = c.execResult;
        shell_.keys[L".htm"] = L"htmlfile";
        if (c.command) shell_.keys[kCommandKey] = c.command;
        prompt_.messages.clear();
        prompt_.beeps.clear();
        label_.MarkVisited(true);
        SendMessageW(label_.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(label_.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        Pump(host_.Handle());
        EXPECT_EQ(shell_.opened, (std::vector<std::pair<std::wstring, int>>{{address, SW_SHOW}}));
        EXPECT_EQ(shell_.executed.empty() ? L"-" : shell_.executed[0].first + L" " + std::to_wstring(shell_.executed[0].second),
                  c.executed ? c.executed + address + L" " + std::to_wstring(SW_SHOW) : L"-");
        EXPECT_EQ(label_.Visited(), c.error == nullptr);
        EXPECT_EQ(prompt_.beeps.size(), c.error ? 1u : 0u);
        EXPECT_EQ(prompt_.messages.empty() ? L"" : prompt_.messages[0].text,
                  c.error ? std::wstring(L"Unable to open hyperlink:\n\n") + c.error : L"");
    }
    const auto& message = prompt_.messages.at(0);
    EXPECT_EQ(message.caption, L"Kilnworks");
    EXPECT_EQ(message.type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK));
    EXPECT_EQ(message.owner, host_.Handle());
    EXPECT_EQ(prompt_.beeps, std::vector<UINT>{MB_ICONEXCLAMATION});
    EXPECT_EQ(PaintColour(), RGB(0, 0, 238));
    // Codes the shell has no text for are shown by number.
    EXPECT_EQ(kw::OpenErrorMessage(-3), L"Unable to open hyperlink:\n\nUnknown Error (-3) occurred.");
}

TEST_F(HyperlinkLabelTest, LabelGoingFirstGivesTheControlItsFontBackControlGoingFirstDetachesTheLabel) {
    HWND control = Item(kLink);
    HFONT original = kw::Window(control).Font();
    {
        HyperlinkLabel label;
        ASSERT_TRUE(label.Attach(control));
        EXPECT_NE(kw::Window(control).Font(), original);
    }
    EXPECT_EQ(kw::Window(control).Font(), original);
    // The control lives on without the label.
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(kLink, STN_CLICKED), reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(prompt_.messages.empty());

    ASSERT_TRUE(label_.Attach(host_.Handle(), kRightLabel));
    HWND tooltip = label_.Tooltip();
    DestroyWindow(Item(kRightLabel));
    EXPECT_EQ(label_.Handle(), nullptr);
    EXPECT_FALSE(IsWindow(tooltip));
    label_.SetLink(L"http://example.org/");  // no window any more: only the target changes
    EXPECT_EQ(label_.Target(), L"http://example.org/");
}

TEST(AboutDialogTest, LinksToTheGuideBesideTheProgramStaysWhenItCannotBeOpenedAndEndsOnOk) {
    kw::AboutDialog about;
    ASSERT_NE(about.Create(nullptr), nullptr) << "the tests need an X display";
    FakeLinkShell shell;
    kwtest::ScriptedPrompt prompt;
    kw::ScopedPrompt scope(prompt);
    about.Link().SetShell(shell);
    // The build puts the guide next to every program, this test program included.
    std::wstring guide = ProgramFolder() + L"\\" + kw::kUserGuideFileName;
    EXPECT_EQ(about.Link().Target(), kw::FileUrlFromPath(guide));
    EXPECT_TRUE(FileExists(guide)) << Narrow(guide);

    shell.shellResult = SE_ERR_PNF;
    SendMessageW(about.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_LINK, STN_CLICKED),
                 reinterpret_cast<LPARAM>(about.Item(IDC_ABOUT_LINK)));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].owner, about.Handle());
    EXPECT_FALSE(about.Ended());
    SendMessageW(about.Item(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(about.Ended() ? about.Result() : -1, IDOK);
}

TEST(FileUrlFromPathTest, DrivePathsUncPathsAndSpecialCharacters) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Kilnworks\\kilnworks-guide.html", L"file:///C:/Kilnworks/kilnworks-guide.html"},
        {L"C:\\Program Files\\Kiln #2\\guide.html", L"file:///C:/Program%20Files/Kiln%20%232/guide.html"},
        {L"\\\\server\\share\\guide.html", L"file://server/share/guide.html"},
        {L"C:\\Caf\u00e9\\100%.html", L"file:///C:/Caf%C3%A9/100%25.html"},
    };
    for (const auto& [path, url] : cases) EXPECT_EQ(kw::FileUrlFromPath(path), url);
}

}  // namespace
