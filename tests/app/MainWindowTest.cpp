// The main window in-process: a hidden modeless window driven by clicks and commands, with every
// message box and file dialog answered by a scripted prompt.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "engine/LogText.h"
#include "engine/RunSettings.h"
#include "engine/RunSetup.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/UserPrompt.h"

#include <commdlg.h>

#include <functional>
#include <memory>

using kw::Button;
using kw::ListView;
using kw::Window;
using kwtest::AppProject;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { application_.SetTemporaryFolder(dir_.Path()); }

    std::wstring WritePackage(const std::string& name, const std::vector<AppProject>& projects,
                              const wchar_t* file = L"p.kwp") {
        kwtest::WriteBytes(dir_.File(file), kwtest::PackageXml(name, projects));
        return dir_.File(file);
    }
    // Five projects whose ProjectIDs are 7, 2, 5, 9, 4 in package order.
    std::wstring FivePackage() {
        std::vector<AppProject> projects;
        for (int id : {7, 2, 5, 9, 4}) projects.push_back({id, "P" + std::to_string(id), id == 9 ? "VB6" : "VC6", ""});
        return WritePackage("Five", projects);
    }
    HWND Open(const std::wstring& package = std::wstring()) {
        window_ = std::make_unique<kw::MainWindow>(application_, package);
        HWND handle = window_->Create(nullptr);
        EXPECT_NE(handle, nullptr);
        return handle;
    }
    HWND H() const { return window_->Handle(); }
    Window Control(int id) const { return Window(H(), id); }
    void Click(int id) const { Button(H(), id).Click(); }
    void Command(int id) const { SendMessageW(H(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::vector<int> Rows(int list) const {
        std::vector<int> ids;
        ListView view(H(), list);
        for (int i = 0; i < view.Count(); ++i) ids.push_back(static_cast<int>(view.ItemData(i)));
        return ids;
    }
    // Selects the rows, then presses a key in the list, so the window hears of it as of the user's.
    void Select(int list, std::initializer_list<int> rows) const {
        for (int row : rows) ListView(H(), list).SetSelected(row, true);
        SendMessageW(Control(list).Handle(), WM_KEYDOWN, VK_SHIFT, 0);
    }
    UINT MenuState(int id) const { return GetMenuState(GetMenu(H()), id, MF_BYCOMMAND); }
    bool RunAndWait() {
        Click(IDC_START);
        if (!window_->RunInProgress()) return false;
        return kwtest::PumpUntil([&] { return !window_->RunInProgress(); });
    }

    kwtest::ScratchDir dir_{L"mw"};
    kw::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    kw::Application application_;
    std::unique_ptr<kw::MainWindow> window_;
};

TEST_F(MainWindowTest, StartsWithoutPackageInTheDescribedState) {
    Open();
    struct State { int id; bool enabled; bool visible; const wchar_t* text; };
    const State states[] = {
        {IDC_PACKAGE_GROUP, true, true, L"Package"},       {IDC_ACTIONS_GROUP, false, true, L"Actions"},
        {IDC_START, false, true, L"S&tart"},               {IDC_STOP, false, true, L"Sto&p"},
        {IDC_BUILD, false, true, L"&Build"},               {IDC_EXIT, true, true, L"E&xit"},
        {IDC_ADD_SELECTED, false, true, L">"},             {IDC_ADD_ALL, false, true, L">>"},
        {IDC_REMOVE_SELECTED, false, true, L"<"},          {IDC_CLEAR_TARGETS, false, true, L"&clear selection"},
        {IDC_DEBUG, false, true, L"Debug"},                {IDC_EVENT_LOG_LABEL, true, true, L"Event Log"},
        {IDC_VERSION, false, true, L"&Version"},           {IDC_EDIT_PACKAGE, false, false, nullptr},
        {IDC_OPEN_PACKAGE, true, true, nullptr},           {IDC_NEW_PACKAGE, true, true, nullptr},
        {IDC_TARGET_GROUP, true, true, L"Target selection"}, {IDC_SET_VERSION, false, true, L"set:"},
        {IDC_AUTO_INCREMENT, false, true, L"Auto - Increment"}, {IDC_MAJOR, false, true, L""},
        {IDC_TARGET_HINT, true, true, L"Select the target projects, which will have actions performed on them."},
    };
    ShowWindow(H(), SW_SHOWNA);
    for (const State& s : states) {
        SCOPED_TRACE(s.id);
        EXPECT_EQ(Control(s.id).Enabled(), s.enabled);
        EXPECT_EQ(Control(s.id).Visible(), s.visible);
        if (s.text) {
            EXPECT_EQ(Control(s.id).Text(), s.text);
        }
    }
    for (int id : {IDC_NEW_PACKAGE, IDC_OPEN_PACKAGE, IDC_EDIT_PACKAGE}) {
        EXPECT_NE(Control(id).Send(BM_GETIMAGE, IMAGE_ICON), 0) << id;
    }
    EXPECT_TRUE(MenuState(IDM_EDIT_PACKAGE) & MF_GRAYED);
    EXPECT_FALSE(MenuState(IDM_OPEN_PACKAGE) & MF_GRAYED);
    HMENU system = GetSystemMenu(H(), FALSE);
    wchar_t about[64] = {};
    GetMenuStringW(system, IDM_ABOUTBOX, about, 64, MF_BYCOMMAND);
    EXPECT_STREQ(about, L"&About Kilnworks...");
    EXPECT_EQ(kw::WindowText(H()), L"Kilnworks");
    const LONG_PTR logStyle = LBS_NOSEL | LBS_DISABLENOSCROLL | LBS_NOINTEGRALHEIGHT | WS_HSCROLL | WS_VSCROLL;
    EXPECT_EQ(Control(IDC_EVENT_LOG).Style() & logStyle, logStyle);
    EXPECT_FALSE(Control(IDC_EVENT_LOG).Style() & LBS_SORT);
}

TEST_F(MainWindowTest, ControlsStandAtTheTemplatePositionsAndOnlyTheLogAndExitFollowResizing) {
    Open();
    struct Place { int id; RECT units; };
    const Place places[] = {
        {IDC_PACKAGE_GROUP, {3, 3, 188, 124}},   {IDC_PACKAGE_LIST, {10, 41, 120, 81}},
        {IDC_ACTIONS_GROUP, {3, 128, 324, 62}},  {IDC_START, {274, 171, 50, 12}},
        {IDC_STOP, {274, 155, 50, 12}},          {IDC_BUILD, {10, 142, 130, 12}},
        {IDC_EXIT, {277, 263, 50, 12}},          {IDC_TARGET_LIST, {202, 41, 120, 81}},
        {IDC_ADD_SELECTED, {135, 61, 50, 12}},   {IDC_ADD_ALL, {135, 77, 50, 12}},
        {IDC_REMOVE_SELECTED, {135, 93, 50, 12}}, {IDC_CLEAR_TARGETS, {135, 109, 50, 12}},
        {IDC_BUILD_FRAME, {9, 138, 132, 46}},    {IDC_DEBUG, {12, 158, 44, 8}},
        {IDC_RELEASE, {12, 169, 43, 10}},        {IDC_EVENT_LOG, {3, 203, 324, 56}},
        {IDC_EVENT_LOG_LABEL, {4, 193, 71, 8}},  {IDC_REBUILD_ALL, {77, 158, 48, 8}},
        {IDC_CLEAN, {77, 169, 49, 8}},           {IDC_VERSION_FRAME, {147, 138, 122, 46}},
        {IDC_VERSION, {147, 142, 121, 12}},      {IDC_MAJOR, {191, 157, 14, 12}},
        {IDC_MINOR, {209, 157, 14, 12}},         {IDC_BUILD_NUMBER, {226, 157, 14, 12}},
        {IDC_REVISION, {243, 157, 21, 12}},      {IDC_EDIT_PACKAGE, {65, 13, 26, 24}},
        {IDC_OPEN_PACKAGE, {37, 13, 26, 24}},    {IDC_TARGET_GROUP, {197, 3, 130, 124}},
        {IDC_TARGET_HINT, {204, 15, 119, 18}},   {IDC_NEW_PACKAGE, {9, 13, 26, 24}},
        {IDC_SET_VERSION, {149, 159, 40, 8}},    {IDC_AUTO_INCREMENT, {149, 171, 81, 8}},
    };
    auto placeOf = [&](int id) {
        RECT r;
        GetWindowRect(Control(id).Handle(), &r);
        MapWindowPoints(HWND_DESKTOP, H(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    auto check = [&](int dx, int dy) {
        for (const Place& p : places) {
            // Position and size are converted each on its own, as the dialog manager does.
            RECT units = p.units;
            MapDialogRect(H(), &units);
            RECT want = {units.left, units.top, units.left + units.right, units.top + units.bottom};
            if (p.id == IDC_EVENT_LOG) want.right += dx, want.bottom += dy;
            if (p.id == IDC_EXIT) OffsetRect(&want, dx, dy);
            RECT got = placeOf(p.id);
            EXPECT_TRUE(EqualRect(&got, &want)) << "control " << p.id << " at " << dx << "," << dy;
        }
    };
    check(0, 0);
    // The tab order follows the table: each control's successor in z-order.
    EXPECT_EQ(GetWindow(Control(IDC_START).Handle(), GW_HWNDNEXT), Control(IDC_STOP).Handle());
    EXPECT_EQ(GetWindow(Control(IDC_STOP).Handle(), GW_HWNDNEXT), Control(IDC_BUILD).Handle());

    RECT frame;
    GetWindowRect(H(), &frame);
    MINMAXINFO limits = {};
    SendMessageW(H(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, frame.right - frame.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);

    SetWindowPos(H(), nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 80,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    check(120, 80);
    SetWindowPos(H(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    check(0, 0);
}

TEST_F(MainWindowTest, ShowsThePackageNamedAtStartUpWithItsNameCutInTheCaption) {
    const std::string sixty(60, 'N');
    Open(WritePackage(sixty, {{3, "Calc", "VC6", ""}, {1, "Tool", "VB6", ""}, {2, "Odd", "XX", ""}}));
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: " + std::wstring(54, L'N'));
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{3, 1, 2}));
    ListView packages(H(), IDC_PACKAGE_LIST);
    EXPECT_EQ(packages.RowText(1), L"Tool");
    EXPECT_EQ(packages.Image(0), 1);
    EXPECT_EQ(packages.Image(1), 2);
    EXPECT_EQ(packages.Image(2), 0);
    EXPECT_EQ(Control(IDC_MAJOR).Text(), L"1");
    for (int id : {IDC_MINOR, IDC_BUILD_NUMBER, IDC_REVISION}) EXPECT_EQ(Control(id).Text(), L"0");
    EXPECT_TRUE(Control(IDC_EDIT_PACKAGE).Enabled());
    EXPECT_TRUE(GetWindowLongW(Control(IDC_EDIT_PACKAGE).Handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(MenuState(IDM_EDIT_PACKAGE) & MF_GRAYED);
    EXPECT_TRUE(Control(IDC_ADD_ALL).Enabled());
    EXPECT_FALSE(Control(IDC_ADD_SELECTED).Enabled());
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(MainWindowTest, TargetSelectionKeepsEachProjectOnceInAscendingOrder) {
    Open(FivePackage());
    Select(IDC_PACKAGE_LIST, {0, 1, 2});  // 7, 2, 5
    Click(IDC_ADD_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(ListView(H(), IDC_PACKAGE_LIST).SelectedCount(), 0);
    EXPECT_FALSE(Control(IDC_ADD_SELECTED).Enabled());
    EXPECT_TRUE(Control(IDC_ADD_ALL).Enabled());
    EXPECT_TRUE(Control(IDC_START).Enabled());

    // A project that is already a target: nothing copied, its row stays selected.
    Select(IDC_PACKAGE_LIST, {1});
    Click(IDC_ADD_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (std::vector<int>{2, 5, 7}));
    EXPECT_TRUE(ListView(H(), IDC_PACKAGE_LIST).Selected(1));

    for (int press = 0; press < 2; ++press) {
        Click(IDC_ADD_ALL);
        EXPECT_EQ(Rows(IDC_TARGET_LIST), (std::vector<int>{2, 4, 5, 7, 9}));
    }
    Select(IDC_TARGET_LIST, {1, 2});
    Click(IDC_REMOVE_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (std::vector<int>{2, 7, 9}));
    EXPECT_EQ(ListView(H(), IDC_TARGET_LIST).SelectedCount(), 0);

    Select(IDC_TARGET_LIST, {0, 1, 2});
    Click(IDC_REMOVE_SELECTED);
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    for (int id : {IDC_ACTIONS_GROUP, IDC_START, IDC_BUILD, IDC_VERSION, IDC_REMOVE_SELECTED, IDC_CLEAR_TARGETS}) {
        EXPECT_FALSE(Control(id).Enabled()) << id;
    }
}

TEST_F(MainWindowTest, ActionsPanelFollowsItsCheckBoxes) {
    Open(FivePackage());
    Click(IDC_ADD_ALL);
    // Enabled flags of Debug, Clean, set:, Auto, the major field; then checked Debug, set:, Auto.
    auto state = [&] {
        std::string s;
        for (int id : {IDC_DEBUG, IDC_CLEAN, IDC_SET_VERSION, IDC_AUTO_INCREMENT, IDC_MAJOR}) {
            s += Control(id).Enabled() ? 'E' : '-';
        }
        s += ' ';
        for (int id : {IDC_DEBUG, IDC_SET_VERSION, IDC_AUTO_INCREMENT}) s += Button(H(), id).Checked() ? 'X' : '.';
        return s;
    };
    struct Step { int click; const char* after; };
    const Step steps[] = {
        {0, "----- ..."},
        {IDC_BUILD, "EE--- ..."},
        {IDC_DEBUG, "EE--- X.."},
        {IDC_BUILD, "----- X.."},           // Debug disabled but still checked
        {IDC_VERSION, "--EE- X.."},
        {IDC_SET_VERSION, "--EEE XX."},
        {IDC_AUTO_INCREMENT, "--EE- X.X"},
        {IDC_AUTO_INCREMENT, "--EE- X.."},  // off again: nothing else changes
        {IDC_SET_VERSION, "--EEE XX."},
        {IDC_VERSION, "----E XX."},         // the fields keep what set: gave them
    };
    for (const Step& step : steps) {
        if (step.click) Click(step.click);
        EXPECT_EQ(state(), step.after) << "after clicking " << step.click;
    }
}

TEST_F(MainWindowTest, StartRefusesNothingToDoAndReadsTheVersionFieldsAsNumbers) {
    Open(FivePackage());
    Click(IDC_ADD_ALL);
    Click(IDC_BUILD);
    Click(IDC_CLEAN);
    Click(IDC_START);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"No action was selected for execution.");
    EXPECT_EQ(prompt_.messages[0].caption, L"Hint");
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_TRUE(Control(IDC_START).Enabled());

    Click(IDC_CLEAN);
    Click(IDC_VERSION);
    const wchar_t* texts[] = {L"12abc", L"   7", L"", L"-1"};
    for (int i = 0; i < 4; ++i) Control(IDC_MAJOR + i).SetText(texts[i]);
    Click(IDC_START);
    ASSERT_TRUE(window_->RunInProgress());
    const kw::VersionQuad& numbers = kw::TheRunSettings().version;
    EXPECT_EQ(numbers.major, 12u);
    EXPECT_EQ(numbers.minor, 7u);
    EXPECT_EQ(numbers.build, 0u);
    EXPECT_EQ(numbers.revision, 4294967295u);
    // The worker reads the document: no package command until the run has finished.
    for (int id : {IDC_START, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}) EXPECT_FALSE(Control(id).Enabled());
    for (int id : {IDM_OPEN_PACKAGE, IDM_NEW_PACKAGE, IDM_EDIT_PACKAGE}) EXPECT_TRUE(MenuState(id) & MF_GRAYED);
    EXPECT_TRUE(Control(IDC_STOP).Enabled());
    Click(IDC_ADD_ALL);
    EXPECT_FALSE(Control(IDC_START).Enabled());

    ASSERT_TRUE(kwtest::PumpUntil([&] { return !window_->RunInProgress(); }));
    EXPECT_EQ(window_->EventLogLines().front().rfind(L"Versionating", 0), 0u);
    for (int id : {IDC_START, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}) EXPECT_TRUE(Control(id).Enabled());
    EXPECT_FALSE(MenuState(IDM_EDIT_PACKAGE) & MF_GRAYED);
    EXPECT_FALSE(Control(IDC_STOP).Enabled());
}

TEST_F(MainWindowTest, AutoIncrementFieldsShowWhatTheRunStamped) {
    // The fields end up with the numbers the last stamped file holds: the script's four, or the
    // project file's three (its revision is the third) with the fourth left as the run had it.
    CreateDirectoryW(dir_.File(L"Calc").c_str(), nullptr);
    kwtest::WriteBytes(dir_.File(L"Calc\\Calc.rc"), kwtest::ReadBytes(kw::FromUtf8(KW_SOURCE_DIR "/demo/Calc/Calc.rc")));
    CreateDirectoryW(dir_.File(L"Tool").c_str(), nullptr);
    kwtest::WriteBytes(dir_.File(L"Tool\\Tool.vbp"), "Type=Exe\r\nMajorVer=3\r\nMinorVer=1\r\nRevisionVer=9\r\n");
    AppProject calc{1, "Calc", "VC6", kw::ToUtf8(dir_.File(L"Calc"))};
    AppProject tool{2, "Tool", "VB6", kw::ToUtf8(dir_.File(L"Tool")), kw::ToUtf8(dir_.File(L"Tool\\Tool.vbp"))};
    const struct { std::vector<AppProject> projects; const wchar_t* fields; } cases[] = {
        {{calc}, L"1.4.1.27"},
        {{calc, tool}, L"3.1.10.27"},
    };
    for (const auto& c : cases) {
        Open(WritePackage("P", c.projects));
        Click(IDC_ADD_ALL);
        Click(IDC_VERSION);
        Click(IDC_AUTO_INCREMENT);
        ASSERT_TRUE(RunAndWait());
        EXPECT_EQ(Control(IDC_MAJOR).Text() + L"." + Control(IDC_MINOR).Text() + L"." + Control(IDC_BUILD_NUMBER).Text() +
                      L"." + Control(IDC_REVISION).Text(),
                  c.fields);
        kwtest::WriteBytes(dir_.File(L"Calc\\Calc.rc"), kwtest::ReadBytes(kw::FromUtf8(KW_SOURCE_DIR "/demo/Calc/Calc.rc")));
    }
}

TEST_F(MainWindowTest, EventLogShowsLinesScrollsForBuilderTextAndSavesThem) {
    Open();
    HWND log = Control(IDC_EVENT_LOG).Handle();
    for (int i = 0; i < 30; ++i) kw::PostLogLine(L"system line " + std::to_wstring(i), H(), log);
    const std::string piece = "a\r\n\r\nb\r\n";
    kw::PostLogText(piece.data(), static_cast<std::uint32_t>(piece.size()), false, H(), log);
    kw::PostLogText("\r\n", 2, false, H(), log);
    ASSERT_TRUE(kwtest::PumpUntil([&] { return kw::ListBox(log).Count() == 32; }));
    EXPECT_EQ(window_->EventLogLines()[30], L"a");
    EXPECT_EQ(window_->EventLogLines()[31], L"b");
    EXPECT_GT(kw::ListBox(log).TopIndex(), 0);

    kw::ListBox(log).SetTopIndex(0);
    std::wstring wide(400, L'w');
    kw::PostLogLine(wide, H(), log);
    ASSERT_TRUE(kwtest::PumpUntil([&] { return kw::ListBox(log).Count() == 33; }));
    EXPECT_EQ(kw::ListBox(log).TopIndex(), 0);
    RECT client;
    GetClientRect(log, &client);
    EXPECT_GT(kw::ListBox(log).HorizontalExtent(), client.right);

    ASSERT_TRUE(window_->CopyAllLines() && OpenClipboard(H()));
    std::wstring text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    CloseClipboard();
    EXPECT_EQ(text.substr(0, 30), L"system line 0\r\nsystem line 1\r\n");
    EXPECT_EQ(text.substr(text.size() - 406), L"a\r\nb\r\n" + wide);

    std::wstring saved = dir_.File(L"event log.log");
    prompt_.fileAnswers = {L"", saved};
    EXPECT_FALSE(window_->SaveLogAs());  // cancelled
    EXPECT_FALSE(kwtest::FileExists(saved));
    ASSERT_TRUE(window_->SaveLogAs());
    std::string bytes = kwtest::ReadBytes(saved);
    EXPECT_EQ(bytes.substr(0, 18), "\xEF\xBB\xBFsystem line 0\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 408), "a\r\nb\r\n" + std::string(400, 'w') + "\r\n");
    EXPECT_TRUE(prompt_.fileRequests[1].save);
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);

    // A read-only file is refused with a message and keeps what it held.
    kwtest::WriteBytes(saved, "keep");
    SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_READONLY);
    prompt_.fileAnswers.push_back(saved);
    EXPECT_FALSE(window_->SaveLogAs());
    EXPECT_EQ(kwtest::ReadBytes(saved), "keep");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()).find(L"kwtmp"), std::wstring::npos);
}

TEST_F(MainWindowTest, PackageCommandsKeepTheWindowConsistent) {
    // Named at start-up but unreadable: the window opens without a package and says why.
    Open(dir_.File(L"missing.kwp"));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package");
    EXPECT_FALSE(GetWindowLongW(Control(IDC_EDIT_PACKAGE).Handle(), GWL_STYLE) & WS_VISIBLE);
    prompt_.messages.clear();

    std::wstring good = FivePackage();
    Open(good);
    Click(IDC_ADD_ALL);
    kwtest::WriteBytes(dir_.File(L"bad.kwp"), "<Package><Name>Broken");
    prompt_.fileAnswers = {dir_.File(L"bad.kwp")};
    Command(IDM_OPEN_PACKAGE);
    ASSERT_EQ(prompt_.fileRequests.size(), 1u);
    const kw::FileRequest& request = prompt_.fileRequests[0];
    EXPECT_EQ(request.title, L"Select package:");
    EXPECT_EQ(request.initialName, good);
    EXPECT_EQ(request.bufferChars, 511u);
    EXPECT_TRUE(request.flags & OFN_FILEMUSTEXIST);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"Error while parsing the package file.");
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: Five");
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size(), 5u);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);
    std::wstring name, a, b, c, d;
    EXPECT_EQ(window_->Document().GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"Five");

    // A package without projects: the hint, the empty list, and the targets of the old one gone.
    prompt_.fileAnswers.push_back(WritePackage("Empty", {}, L"empty.kwp"));
    Click(IDC_OPEN_PACKAGE);
    ASSERT_EQ(prompt_.messages.size(), 2u);
    EXPECT_EQ(prompt_.messages[1].text, L"Hint: This package doesn't contain any project.");
    EXPECT_EQ(prompt_.messages[1].caption, L"Hint");
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: Empty");
    EXPECT_TRUE(Rows(IDC_PACKAGE_LIST).empty());
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_FALSE(Control(IDC_ADD_ALL).Enabled());
    EXPECT_FALSE(Control(IDC_ACTIONS_GROUP).Enabled());
    EXPECT_EQ(window_->PackagePath(), dir_.File(L"empty.kwp"));
}

// Runs drive(editor) once the modal "Package Properties" dialog of this thread is up.
std::function<void(HWND)> gDriveEditor;
BOOL CALLBACK FindEditor(HWND window, LPARAM found) {
    if (kw::WindowText(window) != L"Package Properties") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
void CALLBACK DriveEditorWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND editor = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindEditor, reinterpret_cast<LPARAM>(&editor));
    if (!editor || !gDriveEditor) return;
    KillTimer(nullptr, timer);
    auto drive = std::move(gDriveEditor);
    gDriveEditor = nullptr;
    drive(editor);
}

TEST_F(MainWindowTest, EditorCommandsReloadTheListsHoweverTheEditorCloses) {
    auto whenEditorShown = [](std::function<void(HWND)> drive) {
        gDriveEditor = std::move(drive);
        SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
    };
    // A cancelled file prompt: no editor, nothing changes.
    Open(FivePackage());
    Click(IDC_ADD_ALL);
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);

    // Edit, add a project, Cancel: the document keeps the project, the lists are reloaded and the
    // Targets list is emptied.
    kwtest::WriteBytes(dir_.File(L"Extra.vbp"), "Type=Exe\r\n");
    prompt_.fileRequests.clear();  // answers go by request number
    prompt_.fileAnswers = {dir_.File(L"Extra.vbp")};
    whenEditorShown([](HWND editor) { SendMessageW(GetDlgItem(editor, IDC_EDITOR_ADD_PROJECT), BM_CLICK, 0, 0);
                                      SendMessageW(editor, WM_COMMAND, IDCANCEL, 0); });
    Click(IDC_EDIT_PACKAGE);
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{7, 2, 5, 9, 4, 10}));

    // A new package from nothing: file chosen, two projects added, saved; the file on disk holds
    // them and the window shows them.
    kwtest::WriteBytes(dir_.File(L"One.dsp"), "# dsp\r\n");
    const std::wstring fresh = dir_.File(L"fresh package.kwp");
    prompt_.fileRequests.clear();
    prompt_.fileAnswers = {fresh, dir_.File(L"One.dsp"), dir_.File(L"Extra.vbp")};
    whenEditorShown([](HWND editor) {
        for (int i = 0; i < 2; ++i) SendMessageW(GetDlgItem(editor, IDC_EDITOR_ADD_PROJECT), BM_CLICK, 0, 0);
        SendMessageW(editor, WM_COMMAND, IDOK, 0);
    });
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{1, 2}));
    EXPECT_TRUE(Control(IDC_EDIT_PACKAGE).Style() & WS_VISIBLE);
    EXPECT_TRUE(Control(IDC_EDIT_PACKAGE).Enabled());
    kw::PackageDocument reread;
    ASSERT_EQ(reread.OpenPackage(fresh), 0);
    std::vector<kw::ProjectRow> rows;
    ASSERT_EQ(kw::ListProjects(reread, rows), 0u);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, L"One");
    EXPECT_EQ(rows[1].name, L"Extra");
    EXPECT_EQ(rows[1].kind, kw::CompilerVB6);
}

TEST_F(MainWindowTest, EveryWayOfClosingEndsAnIdleWindow) {
    for (int id : {IDC_EXIT, IDM_EXIT_PROGRAM, IDCANCEL, IDOK}) {
        Open();
        Command(id);
        EXPECT_FALSE(IsWindow(H())) << id;
        EXPECT_TRUE(window_->Ended()) << id;
    }
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(MainWindowTest, ClosingDuringARunAsksThenStopsAndEndsWithNoBuilderLeft) {
    ASSERT_TRUE(kwtest::StandInsInstalled()) << "VsCommonDir must lead to the stand-in builders (scripts/test.sh sets it)";
    AppProject slow{1, "Slow", "VC6", kw::ToUtf8(dir_.File(L"Slow"))};
    kwtest::WriteProjectFolder(slow, "hang=3000\n");
    Open(WritePackage("P", {slow}));
    Click(IDC_ADD_ALL);
    Click(IDC_BUILD);
    Click(IDC_DEBUG);
    Click(IDC_START);
    ASSERT_TRUE(window_->RunInProgress());

    prompt_.messageAnswers = {IDNO, IDYES};
    SendMessageW(H(), WM_CLOSE, 0, 0);
    kwtest::PumpUntil([&] { return !prompt_.messages.empty(); }, 5000);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"A build is running. Stop it and exit?");
    EXPECT_EQ(prompt_.messages[0].caption, L"Kilnworks");
    EXPECT_EQ(prompt_.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(IsWindow(H()));
    EXPECT_TRUE(window_->RunInProgress());

    Command(IDCANCEL);
    EXPECT_EQ(prompt_.messages.size(), 2u);
    HWND handle = H();
    ASSERT_TRUE(kwtest::PumpUntil([&] { return !IsWindow(handle); }));
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(kwtest::CountProcesses(L"MSDEV.exe"), 0);
}

TEST(ApplicationTest, KeepsTheWholeFirstArgumentAndNeedsATemporaryFolder) {
    std::wstring longPath = L"C:\\" + std::wstring(197, L'x');
    wchar_t* argv[] = {const_cast<wchar_t*>(L"kilnworks.exe"), longPath.data()};
    EXPECT_EQ(kw::Application(2, argv).StartupPackagePath(), longPath);
    EXPECT_EQ(kw::Application(1, argv).StartupPackagePath(), L"");

    wchar_t temp[1024] = {}, tmp[1024] = {};
    GetEnvironmentVariableW(L"TEMP", temp, 1024);
    GetEnvironmentVariableW(L"TMP", tmp, 1024);
    SetEnvironmentVariableW(L"TEMP", nullptr);
    SetEnvironmentVariableW(L"TMP", nullptr);
    kw::ScriptedPrompt prompt;
    int result = 0;
    {
        kw::ScopedPrompt scope(prompt);
        result = kw::Application(2, argv).InitInstance();
    }
    SetEnvironmentVariableW(L"TEMP", temp);
    SetEnvironmentVariableW(L"TMP", tmp);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].owner, nullptr);
    EXPECT_EQ(prompt.messages[0].caption, L"Error occured.");
    EXPECT_EQ(prompt.messages[0].text.rfind(L"Theres no folder configured for temporary files", 0), 0u);
}

}  // namespace
