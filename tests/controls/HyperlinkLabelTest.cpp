// HyperlinkLabel on a static control of a dialog: its states, the click and its fallback to the
// registered browser, the system's registry reads and program starts; the About box that shows one.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <map>

#include "common/ScriptedPrompt.h"
#include "controls/AboutDialog.h"
#include "controls/ControlsTestSupport.h"
#include "resource.h"

namespace {

using namespace kwtest;

TEST(FallbackCommandTest, CutsThePlaceholderAndAppendsTheAddressAsOneArgument) {
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        // A quoted placeholder goes with its quote and everything after it.
        {L"\"C:\\B b\\b.exe\" -nohome \"%1\" -x", L"http://x/", L"\"C:\\B b\\b.exe\" -nohome  http://x/"},
        {L"browse.exe %1 -new", L"file:///C:/guide.html", L"browse.exe  file:///C:/guide.html"},
        {L"b.exe %1 \"%1\"", L"x", L"b.exe %1  x"},
        {L"\"C:\\B\\b.exe\" -nohome", L"x", L"\"C:\\B\\b.exe\" -nohome x"},  // no placeholder
        // Whatever the address holds, it stays one argument (quotes escaped): quoted only when it must be.
        {L"b.exe %1", L"C:\\Program Files\\K\\guide.html", L"b.exe  \"C:\\Program Files\\K\\guide.html\""},
        {L"b.exe %1", L"http://x/\" -evil \"", L"b.exe  \"http://x/%22 -evil %22\""},
        {L"b.exe %1", L"C:\\Guides\\", L"b.exe  C:\\Guides\\"},
        {L"b.exe %1", L"C:\\My Guides\\", L"b.exe  \"C:\\My Guides\\\\\""},
    };
    for (const auto& [registered, address, expected] : cases) {
        EXPECT_EQ(kw::BuildFallbackCommand(registered, address), expected);
    }
    // The system starts command lines of up to 32766 characters: whole or not at all.
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32765, L'a')).size(), 32766u);
    EXPECT_EQ(kw::BuildFallbackCommand(L"", std::wstring(32766, L'a')), L"");
}

TEST(SystemLinkShellTest, ReadsLongCommandsAndStartsProgramsInAnyFolder) {
    kw::LinkShell& shell = kw::SystemLinkShell();
    const wchar_t* key = L"Kilnworks.TestPage";
    // Longer than a path, as registered command lines can be.
    const std::wstring command = L"\"C:\\Browser\\browse.exe\" " + std::wstring(400, L'x') + L" \"%1\"";
    const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(), bytes), ERROR_SUCCESS);
    std::wstring value;
    EXPECT_TRUE(shell.ReadClassesRootDefault(key, value) && value == command);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    EXPECT_FALSE(shell.ReadClassesRootDefault(key, value));

    // A folder the ANSI code page cannot spell.
    ScratchDir folder(L"\u0141\u00f3d\u017a \u65e5\u672c");
    std::wstring program = folder.File(L"argv-echo.exe");
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\tools\\argv-echo.exe").c_str(), program.c_str(), FALSE));
    EXPECT_GT(shell.Exec(L"\"" + program + L"\"", SW_HIDE), 31);
    EXPECT_EQ(shell.Exec(L"\"" + folder.File(L"missing.exe") + L"\"", SW_HIDE), ERROR_FILE_NOT_FOUND);
    for (int i = 0; i < 200 && !DeleteFileW(program.c_str()); ++i) Sleep(50);  // once it has ended
}

// Records what a label asks of the system and answers from a script: web pages are "htmlfile",
// opened with command when there is one.
struct FakeLinkShell : kw::LinkShell {
    int ShellOpen(const std::wstring& address, int show) override {
        calls += L" open " + address + L" " + std::to_wstring(show);
        return shellResult;
    }
    bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) override {
        value = key == L".htm" ? L"htmlfile" : command ? command : L"";
        return key == L".htm" || (key == L"htmlfile\\shell\\open\\command" && command);
    }
    int Exec(const std::wstring& line, int show) override {
        calls += L" exec " + line + L" " + std::to_wstring(show);
        return execResult;
    }

    int shellResult = 42, execResult = 33;
    const wchar_t* command = nullptr;
    std::wstring calls;
};

using HyperlinkLabelTest = HostTest;

// Attach takes the text as the target, or shows a target set before on an empty label, and fits
// the label to its text on its aligned side. Hovering holds the mouse to see it leave, and ends
// when it leaves or another window takes it. A click opens the address in the shell or, failing
// that, with the browser registered for web pages; a failure beeps, names the reason in a warning
// box over the dialog and forgets an earlier visit. The control goes first (a dialog's window goes
// before its members): it takes the tooltip along and leaves the label detached.
TEST_F(HyperlinkLabelTest, AttachStatesAndClicksShowInColourUnderlineTooltipAndWhatTheSystemIsAsked) {
    FakeLinkShell shell;
    ScriptedPrompt prompt;
    kw::ScopedPrompt scope(prompt);
    // Target, text and tooltip; the colour the dialog hands the text to through the reflected
    // colour request (the background always left alone); hovering, holding the mouse, underlined;
    // then what the system was asked and the message shown.
    auto state = [&](const kw::HyperlinkLabel& label) {
        wchar_t tip[512] = {};
        TTTOOLINFOW tool = {sizeof(tool), 0, label.Handle(), 1, {}, nullptr, tip};
        SendMessageW(label.Tooltip(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        HDC dc = CreateCompatibleDC(nullptr);
        LRESULT brush = SendMessageW(host_.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label.Handle()));
        EXPECT_TRUE(reinterpret_cast<HGDIOBJ>(brush) == GetStockObject(NULL_BRUSH) && GetBkMode(dc) == TRANSPARENT);
        std::map<COLORREF, std::wstring> colours = {
            {RGB(0, 0, 238), L"blue"}, {RGB(85, 26, 139), L"purple"}, {GetSysColor(COLOR_HIGHLIGHT), L"highlight"}};
        std::wstring colour = colours[GetTextColor(dc)];
        DeleteDC(dc);
        LOGFONTW font = {};
        GetObjectW(kw::Window(label.Handle()).Font(), sizeof(font), &font);
        return label.Target() + L"|" + kw::WindowText(label.Handle()) + L"|" + tip + L"|" + colour +
               (label.Hovering() ? L" hovering" : L"") + (GetCapture() == label.Handle() ? L" holding" : L"") +
               (font.lfUnderline ? L" underlined" : L"") + shell.calls +
               (prompt.messages.empty() ? std::wstring() : L" " + prompt.messages.back().text);
    };
    const std::pair<int, std::wstring> attached[] = {
        {kEmptyLabel, L"file:///C:/guide.html|file:///C:/guide.html|file:///C:/guide.html|blue underlined"},
        {kRightLabel, L"Right side|Right side|Right side|blue underlined"},
    };
    for (const auto& [id, expected] : attached) {
        kw::HyperlinkLabel label;
        if (id == kEmptyLabel) label.SetLink(L"file:///C:/guide.html");
        RECT before, after;
        GetWindowRect(Item(id), &before);
        ASSERT_TRUE(label.Attach(host_.Handle(), id));
        GetWindowRect(Item(id), &after);
        EXPECT_EQ(state(label), expected);
        EXPECT_EQ(id == kRightLabel ? after.right - before.right : after.left - before.left, 0) << id;
        EXPECT_LT(after.right - after.left, before.right - before.left) << id;
    }

    kw::HyperlinkLabel link;
    link.SetShell(shell);
    ASSERT_TRUE(link.Attach(host_.Handle(), kLink));
    auto move = [&](int x, int y) { SendMessageW(link.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };
    // The system answering so: the shell, the command registered for web pages (nullptr: none),
    // that command's start.
    auto click = [&](int shellResult, const wchar_t* command, int execResult) {
        shell.shellResult = shellResult;
        shell.command = command;
        shell.execResult = execResult;
        SendMessageW(link.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(link.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    };
    const std::wstring home = L"Kilnworks home|Kilnworks home|Kilnworks home|";
    const std::wstring linked = L"http://k/|Kilnworks home|http://k/|";
    const std::wstring open = L" open http://k/ 5", why = L" Unable to open hyperlink:\n\n";
    const std::pair<std::function<void()>, std::wstring> steps[] = {
        {[] {}, home + L"blue underlined"},
        {[&] { link.MarkVisited(true); }, home + L"purple underlined"},
        {[&] { move(1, 1); }, home + L"highlight hovering holding underlined"},
        {[&] { move(2, 1); }, home + L"highlight hovering holding underlined"},
        {[&] { move(-4, -4); }, home + L"purple underlined"},
        {[&] { move(1, 1); }, home + L"highlight hovering holding underlined"},
        {[&] { SetCapture(Item(kEdit)); }, home + L"purple underlined"},
        {[&] { link.SetUnderlined(false); }, home + L"purple"},
        // Changes the target and the tooltip, never the text.
        {[&] { link.SetLink(L"http://k/"); }, linked + L"purple"},
        {[&] { click(SE_ERR_NOASSOC, L"b.exe %1", ERROR_FILE_NOT_FOUND); },
         linked + L"blue" + open + L" exec b.exe  http://k/ 5" + why + L"The specified file was not found."},
        {[&] { click(42, nullptr, 33); }, linked + L"purple" + open},
        {[&] { click(SE_ERR_NOASSOC, L"b.exe %1", 33); }, linked + L"purple" + open + L" exec b.exe  http://k/ 5"},
        {[&] { click(SE_ERR_NOASSOC, nullptr, 33); },
         linked + L"blue" + open + why + L"There is no application associated\nwith the given filename extension."},
    };
    host_.commands = 0;
    for (size_t row = 0; row < std::size(steps); ++row) {
        SCOPED_TRACE(row);
        shell.calls.clear();
        prompt.messages.clear();
        steps[row].first();
        EXPECT_EQ(state(link), steps[row].second);
    }
    ReleaseCapture();
    EXPECT_EQ(prompt.beeps, (std::vector<UINT>{MB_ICONEXCLAMATION, MB_ICONEXCLAMATION}));
    const auto& box = prompt.messages.at(0);
    EXPECT_TRUE(box.caption == L"Kilnworks" && box.type == (MB_ICONEXCLAMATION | MB_OK) && box.owner == host_.Handle());
    // Codes the shell has no text for are shown by number.
    EXPECT_EQ(kw::OpenErrorMessage(-3), L"Unable to open hyperlink:\n\nUnknown Error (-3) occurred.");

    // The dialog gives only its own children their notifications back, and what the label leaves
    // goes on to the dialog: of all these, the dialog sees just the last two.
    Command(kLink, STN_DBLCLK);
    kw::HyperlinkLabel stray;
    stray.SetShell(shell);
    HWND popup = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 9, 9, host_.Handle(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(stray.Attach(popup));
    shell.calls.clear();
    SendMessageW(host_.Handle(), WM_COMMAND, MAKEWPARAM(5, STN_CLICKED), reinterpret_cast<LPARAM>(popup));
    EXPECT_EQ(std::to_wstring(host_.commands) + shell.calls, L"2");
    DestroyWindow(popup);

    // The old help program's hand where it still exists, else the system's; a missing program, or
    // one without that cursor, gives none.
    SendMessageW(link.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link.Handle()), MAKELPARAM(HTCLIENT, 0));
    EXPECT_TRUE(GetCursor() == link.HandCursor() && GetCursor() != nullptr);
    EXPECT_EQ(kw::LoadCursorFromProgram(L"C:\\no\\such\\folder\\winhlp32.exe", 106), nullptr);
    EXPECT_EQ(kw::LoadCursorFromProgram(ProgramFolder() + L"\\test_controls.exe", 106), nullptr);

    HWND tooltip = link.Tooltip();
    DestroyWindow(Item(kLink));
    EXPECT_FALSE(link.Handle() || IsWindow(tooltip));
}

// The link is live on its control: what a click does is the label's own.
TEST(AboutDialogTest, LinksToTheGuideBesideTheProgramAndEndsOnOk) {
    kw::AboutDialog about;
    ASSERT_NE(about.Create(nullptr), nullptr) << "the tests need an X display";
    // The build puts the guide next to every program, this test program included.
    const std::wstring guide = ProgramFolder() + L"\\" + kw::kUserGuideFileName;
    EXPECT_TRUE(FileExists(guide) && about.Link().Target() == kw::FileUrlFromPath(guide)) << Narrow(guide);
    EXPECT_EQ(about.Link().Handle(), about.Item(IDC_ABOUT_LINK));
    SendMessageW(about.Item(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(about.Ended() ? about.Result() : -1, IDOK);
}

TEST(FileUrlFromPathTest, DrivePathsUncPathsAndSpecialCharacters) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Program Files\\Kiln #2\\guide.html", L"file:///C:/Program%20Files/Kiln%20%232/guide.html"},
        {L"\\\\server\\share\\guide.html", L"file://server/share/guide.html"},
        {L"C:\\Caf\u00e9\\100%.html", L"file:///C:/Caf%C3%A9/100%25.html"},
    };
    for (const auto& [path, url] : cases) EXPECT_EQ(kw::FileUrlFromPath(path), url);
}

}  // namespace
