// The main window: in-process, hidden, with a scripted prompt for message boxes and file dialogs; and
// kilnworks.exe as its own process, driven from outside by control ids (also for scripts/screenshot.sh).
#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/RunSupport.h"
#include "common/ScriptedPrompt.h"
#include "engine/LogText.h"
#include "engine/RunSettings.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

#include <windows.h>
#include <commdlg.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

using kw::ListView;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::TestProject;
using kwtest::WriteBytes;

namespace {

// Handles this thread's messages until done() holds; false when it still doesn't after the limit.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 60000) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > limitMs) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Processes of this name now running.
int CountProcesses(const wchar_t* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof(entry)};
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, exeName) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { application_.SetTemporaryFolder(dir_.Path()); }

    std::wstring Package(const std::vector<TestProject>& projects, const std::wstring& name = L"P",
                         const wchar_t* file = L"p.kwp") {
        kwtest::WritePackage(dir_.File(file), projects, name, L"1.0.0.0");
        return dir_.File(file);
    }
    // ProjectIDs 7, 2, 5, 9, 4 in package order; 9 is Basic, 4 of no known kind.
    std::wstring FivePackage(const std::wstring& name = L"Five") {
        std::vector<TestProject> projects;
        for (int id : {7, 2, 5, 9, 4}) {
            std::wstring text = std::to_wstring(id);
            projects.push_back({text, L"P" + text, id == 9 ? L"VB6" : id == 4 ? L"XX" : L"VC6"});
        }
        return Package(projects, name);
    }
    void Open(const std::wstring& package = std::wstring()) {
        window_ = std::make_unique<kw::MainWindow>(application_, package);
        ASSERT_NE(window_->Create(nullptr), nullptr);
    }
    HWND H() const { return window_->Handle(); }
    kw::Window Control(int id) const { return kw::Window(H(), id); }
    void Click(int id) const { kw::Button(H(), id).Click(); }
    void Command(int id) const { SendMessageW(H(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // "E" for each enabled control, "-" for each disabled one.
    std::string Enabled(std::initializer_list<int> ids) const {
        std::string flags;
        for (int id : ids) flags += Control(id).Enabled() ? 'E' : '-';
        return flags;
    }
    // ">>", the check boxes in order, Start; with wait, true once the run has finished.
    bool RunAll(std::initializer_list<int> checks, bool wait = true) const {
        Click(IDC_ADD_ALL);
        for (int id : checks) Click(id);
        Click(IDC_START);
        return !wait || PumpUntil([&] { return !window_->RunInProgress(); });
    }
    bool Greyed(int menuId) const { return GetMenuState(GetMenu(H()), menuId, MF_BYCOMMAND) & MF_GRAYED; }
    bool EditShown() const { return Control(IDC_EDIT_PACKAGE).Style() & WS_VISIBLE; }
    std::wstring Fields() const {
        return Control(IDC_MAJOR).Text() + L"." + Control(IDC_MINOR).Text() + L"." +
               Control(IDC_BUILD_NUMBER).Text() + L"." + Control(IDC_REVISION).Text();
    }
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

    kwtest::ScratchDir dir_{L"mw"};
    kwtest::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    kw::Application application_;
    std::unique_ptr<kw::MainWindow> window_;
};

TEST_F(MainWindowTest, OpensPackagesAndAFailedOpenKeepsShowingTheOneTheDocumentHolds) {
    // Named at start-up but unreadable: no package, only the package commands and Exit enabled.
    Open(dir_.File(L"missing.kwp"));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package");
    EXPECT_EQ(Enabled({IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EXIT, IDC_START, IDC_STOP, IDC_ADD_ALL,
                       IDC_ACTIONS_GROUP, IDC_BUILD, IDC_VERSION, IDC_MAJOR}),
              "EEE-------");
    EXPECT_FALSE(EditShown());
    EXPECT_TRUE(Greyed(IDM_EDIT_PACKAGE));
    for (int id : {IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}) {
        EXPECT_NE(Control(id).Send(BM_GETIMAGE, IMAGE_ICON), 0) << id;
    }
    prompt_.messages.clear();

    // A 60-character name is cut in the caption; rows in package order with their kinds' images.
    Open(FivePackage(std::wstring(60, L'N')));
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: " + std::wstring(54, L'N'));
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{7, 2, 5, 9, 4}));
    ListView packages(H(), IDC_PACKAGE_LIST);
    EXPECT_EQ(packages.RowText(3), L"P9");
    EXPECT_EQ(std::to_string(packages.Image(2)) + std::to_string(packages.Image(3)) + std::to_string(packages.Image(4)),
              "120");
    EXPECT_EQ(Fields(), L"1.0.0.0");
    EXPECT_EQ(Enabled({IDC_EDIT_PACKAGE, IDC_ADD_ALL, IDC_ADD_SELECTED}), "EE-");
    EXPECT_TRUE(EditShown());
    EXPECT_FALSE(Greyed(IDM_EDIT_PACKAGE));
    EXPECT_TRUE(prompt_.messages.empty());

    Click(IDC_ADD_ALL);
    WriteBytes(dir_.File(L"bad.kwp"), "<Package><Name>Broken");
    prompt_.fileAnswers = {dir_.File(L"bad.kwp")};
    Command(IDM_OPEN_PACKAGE);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"Error while parsing the package file.");
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: " + std::wstring(54, L'N'));
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size(), 5u);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);
    std::wstring name, a, b, c, d;
    EXPECT_EQ(window_->Document().GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, std::wstring(60, L'N'));

    // A package without projects: the hint, the empty list, and the targets of the old one gone.
    prompt_.fileAnswers.push_back(Package({}, L"Empty", L"empty.kwp"));
    Click(IDC_OPEN_PACKAGE);
    ASSERT_EQ(prompt_.messages.size(), 2u);
    EXPECT_EQ(prompt_.messages[1].text, L"Hint: This package doesn't contain any project.");
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: Empty");
    EXPECT_TRUE(Rows(IDC_PACKAGE_LIST).empty());
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Enabled({IDC_ADD_ALL, IDC_ACTIONS_GROUP}), "--");
    EXPECT_EQ(window_->PackagePath(), dir_.File(L"empty.kwp"));

    // A project that can't be listed (no Compiler) ends the list there without a word.
    prompt_.fileAnswers.push_back(
        Package({{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C", L""}, {L"4", L"D"}}, L"Cut", L"cut.kwp"));
    Click(IDC_OPEN_PACKAGE);
    EXPECT_EQ(prompt_.messages.size(), 2u);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{1, 2}));
}

TEST_F(MainWindowTest, OnlyTheEventLogAndExitFollowResizingAndTheTemplateSizeIsTheSmallest) {
    Open();
    auto places = [&] {
        std::map<int, RECT> rects;
        for (HWND c = GetWindow(H(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT& r = rects[GetDlgCtrlID(c)];
            GetWindowRect(c, &r);
            MapWindowPoints(HWND_DESKTOP, H(), reinterpret_cast<POINT*>(&r), 2);
        }
        return rects;
    };
    const std::map<int, RECT> before = places();
    RECT frame;
    GetWindowRect(H(), &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    MINMAXINFO limits = {};
    SendMessageW(H(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, width);
    EXPECT_EQ(limits.ptMinTrackSize.y, height);
    for (int grow : {100, 0}) {
        SetWindowPos(H(), nullptr, 0, 0, width + grow, height + grow, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (auto [id, want] : before) {
            if (id == IDC_EVENT_LOG) want.right += grow, want.bottom += grow;
            if (id == IDC_EXIT) OffsetRect(&want, grow, grow);
            EXPECT_TRUE(EqualRect(&places()[id], &want)) << "control " << id << " grown by " << grow;
        }
    }
}

TEST_F(MainWindowTest, TargetSelectionKeepsEachProjectOnceInAscendingOrder) {
    Open(FivePackage());
    Select(IDC_PACKAGE_LIST, {0, 1, 2});  // 7, 2, 5
    Click(IDC_ADD_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(ListView(H(), IDC_PACKAGE_LIST).SelectedCount(), 0);
    EXPECT_EQ(Enabled({IDC_ADD_SELECTED, IDC_ADD_ALL, IDC_START}), "-EE");

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
    EXPECT_EQ(Enabled({IDC_ACTIONS_GROUP, IDC_START, IDC_BUILD, IDC_VERSION, IDC_REMOVE_SELECTED, IDC_CLEAR_TARGETS}),
              "------");
}

TEST_F(MainWindowTest, ActionsPanelFollowsItsCheckBoxes) {
    Open(FivePackage());
    Click(IDC_ADD_ALL);
    // Enabled flags of Debug, Clean, set:, Auto, the major field; then checked Debug, set:, Auto.
    auto state = [&] {
        std::string s = Enabled({IDC_DEBUG, IDC_CLEAN, IDC_SET_VERSION, IDC_AUTO_INCREMENT, IDC_MAJOR}) + ' ';
        for (int id : {IDC_DEBUG, IDC_SET_VERSION, IDC_AUTO_INCREMENT}) s += kw::Button(H(), id).Checked() ? 'X' : '.';
        return s;
    };
    const struct { int click; const char* after; } steps[] = {
        {0, "----- ..."},
        {IDC_BUILD, "EE--- ..."},
        {IDC_DEBUG, "EE--- X.."},
        {IDC_BUILD, "----- X.."},  // Debug disabled but still checked
        {IDC_VERSION, "--EE- X.."},
        {IDC_SET_VERSION, "--EEE XX."},
        {IDC_AUTO_INCREMENT, "--EE- X.X"},
        {IDC_AUTO_INCREMENT, "--EE- X.."},  // off again: nothing else changes
        {IDC_SET_VERSION, "--EEE XX."},
        {IDC_VERSION, "----E XX."},  // the fields keep what set: gave them
    };
    for (const auto& step : steps) {
        if (step.click) Click(step.click);
        EXPECT_EQ(state(), step.after) << "after clicking " << step.click;
    }
}

TEST_F(MainWindowTest, StartRefusesNothingToDoReadsTheFieldsAsNumbersAndLocksThePackageDuringTheRun) {
    Open(FivePackage());
    RunAll({IDC_BUILD, IDC_CLEAN}, false);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"No action was selected for execution.");
    EXPECT_EQ(prompt_.messages[0].caption, L"Hint");
    EXPECT_FALSE(window_->RunInProgress());

    Click(IDC_CLEAN);
    Click(IDC_VERSION);
    const wchar_t* texts[] = {L"12abc", L"   7", L"", L"-1"};
    for (int i = 0; i < 4; ++i) Control(IDC_MAJOR + i).SetText(texts[i]);
    Click(IDC_START);
    ASSERT_TRUE(window_->RunInProgress());
    const kw::VersionQuad& numbers = kw::TheRunSettings().version;
    EXPECT_EQ(std::to_string(numbers.major) + "." + std::to_string(numbers.minor) + "." +
                  std::to_string(numbers.build) + "." + std::to_string(numbers.revision),
              "12.7.0.4294967295");
    // The worker reads the document: no package command until the run has finished.
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "-E---");
    for (int id : {IDM_OPEN_PACKAGE, IDM_NEW_PACKAGE, IDM_EDIT_PACKAGE}) EXPECT_TRUE(Greyed(id)) << id;
    Click(IDC_ADD_ALL);
    EXPECT_FALSE(Control(IDC_START).Enabled());

    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    EXPECT_EQ(window_->EventLogLines().front().rfind(L"Versionating", 0), 0u);
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "E-EEE");
    EXPECT_FALSE(Greyed(IDM_EDIT_PACKAGE));
}

TEST_F(MainWindowTest, ATargetThePackageCantFindByNumberIsNamedAndCountedAsNotRun) {
    Open(Package({{L"abc", L"Letters"}}));
    ASSERT_TRUE(RunAll({IDC_VERSION}));
    std::vector<std::wstring> lines = window_->EventLogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"Project 'Letters' has no usable ProjectID; it is not run.");
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Summary: 1 target, 0 succeeded, 0 failed, 1 not run."),
              lines.end());
}

TEST_F(MainWindowTest, AutoIncrementFieldsShowWhatTheRunStamped) {
    // The fields end up with the numbers the last stamped file holds: the script's four, or the
    // project file's three (its revision is the third) with the fourth left as the run had it.
    TestProject calc{L"1", L"Calc", L"VC6", dir_.File(L"Calc")}, tool{L"2", L"Tool", L"VB6", dir_.File(L"Tool")};
    calc.resource = ReadBytes(kw::FromUtf8(KW_SOURCE_DIR "/demo/Calc/Calc.rc"));
    tool.resource = "Type=Exe\r\nMajorVer=3\r\nMinorVer=1\r\nRevisionVer=9\r\n";
    const struct { std::vector<TestProject> projects; const wchar_t* fields; } cases[] = {
        {{calc}, L"1.4.1.27"},
        {{calc, tool}, L"3.1.10.27"},
    };
    for (const auto& c : cases) {
        kwtest::WriteProjects(c.projects);
        Open(Package(c.projects));
        ASSERT_TRUE(RunAll({IDC_VERSION, IDC_AUTO_INCREMENT}));
        EXPECT_EQ(Fields(), c.fields);
    }
}

TEST_F(MainWindowTest, EventLogScrollsForBuilderTextCopiesAndSavesItsLines) {
    Open();
    kw::ListBox log(Control(IDC_EVENT_LOG).Handle());
    for (int i = 0; i < 30; ++i) kw::PostLogLine(L"system line " + std::to_wstring(i), H(), log.Handle());
    kw::PostLogText("a\r\n", 3, false, H(), log.Handle());
    kw::PostLogText("\r\n", 2, false, H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == 31; }));
    EXPECT_GT(log.TopIndex(), 0);

    // The program's own lines leave the view where it is.
    log.SetTopIndex(0);
    std::wstring wide(400, L'w');
    kw::PostLogLine(wide, H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == 32; }));
    EXPECT_EQ(log.TopIndex(), 0);
    RECT client;
    GetClientRect(log.Handle(), &client);
    EXPECT_GT(log.HorizontalExtent(), client.right);

    ASSERT_TRUE(window_->CopyAllLines() && OpenClipboard(H()));
    std::wstring text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    CloseClipboard();
    EXPECT_EQ(text.substr(0, 30), L"system line 0\r\nsystem line 1\r\n");
    EXPECT_EQ(text.substr(text.size() - 403), L"a\r\n" + wide);

    std::wstring saved = dir_.File(L"event log.log");
    prompt_.fileAnswers = {L"", saved};
    EXPECT_FALSE(window_->SaveLogAs());  // cancelled
    EXPECT_FALSE(FileExists(saved));
    ASSERT_TRUE(window_->SaveLogAs());
    std::string bytes = ReadBytes(saved);
    EXPECT_EQ(bytes.substr(0, 18), "\xEF\xBB\xBFsystem line 0\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 405), "a\r\n" + std::string(400, 'w') + "\r\n");
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);

    // A read-only file is refused with a message and keeps what it held.
    WriteBytes(saved, "keep");
    SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_READONLY);
    prompt_.fileAnswers.push_back(saved);
    EXPECT_FALSE(window_->SaveLogAs());
    EXPECT_EQ(ReadBytes(saved), "keep");
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()).find(L"kwtmp"), std::wstring::npos);
}

// Once this thread's modal "Package Properties" dialog is up, a timer hands it to gDriveEditor.
void (*gDriveEditor)(HWND editor) = nullptr;
void CALLBACK DriveEditorWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND editor = FindWindowW(nullptr, L"Package Properties");
    if (editor == nullptr) return;
    KillTimer(nullptr, timer);
    gDriveEditor(editor);
}
void ClickAdd(HWND editor) { SendMessageW(GetDlgItem(editor, IDC_EDITOR_ADD_PROJECT), BM_CLICK, 0, 0); }

TEST_F(MainWindowTest, EditorCommandsReloadTheListsHoweverTheEditorCloses) {
    // A cancelled file prompt: no editor, nothing changes.
    Open(FivePackage());
    Click(IDC_ADD_ALL);
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);

    // Edit, add a project, Cancel: the document keeps the project, the lists are reloaded and the
    // Targets list is emptied.
    WriteBytes(dir_.File(L"Extra.vbp"), "Type=Exe\r\n");
    prompt_.fileRequests.clear();  // answers go by request number
    prompt_.fileAnswers = {dir_.File(L"Extra.vbp")};
    gDriveEditor = [](HWND editor) {
        ClickAdd(editor);
        SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    };
    SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
    Click(IDC_EDIT_PACKAGE);
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{7, 2, 5, 9, 4, 10}));

    // A new package from nothing: file chosen, two projects added, saved; the file on disk holds
    // them and the window shows them.
    WriteBytes(dir_.File(L"One.dsp"), "# dsp\r\n");
    const std::wstring fresh = dir_.File(L"fresh package.kwp");
    prompt_.fileRequests.clear();
    prompt_.fileAnswers = {fresh, dir_.File(L"One.dsp"), dir_.File(L"Extra.vbp")};
    gDriveEditor = [](HWND editor) {
        ClickAdd(editor);
        ClickAdd(editor);
        SendMessageW(editor, WM_COMMAND, IDOK, 0);
    };
    SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (std::vector<int>{1, 2}));
    EXPECT_TRUE(EditShown());
    EXPECT_TRUE(Control(IDC_EDIT_PACKAGE).Enabled());
    const std::string xml = ReadBytes(fresh);
    EXPECT_LT(xml.find("<Name>One</Name>"), xml.find("<Name>Extra</Name><SourceLocation>"));
    EXPECT_NE(xml.find("<Compiler>VB6</Compiler>"), std::string::npos);
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
    TestProject slow{L"1", L"Slow", L"VC6", dir_.File(L"Slow")};
    slow.standIn = "hang=3000\n";
    kwtest::WriteProjects({slow});
    Open(Package({slow}));
    RunAll({IDC_BUILD, IDC_DEBUG}, false);
    ASSERT_TRUE(window_->RunInProgress());

    prompt_.messageAnswers = {IDNO, IDYES};
    SendMessageW(H(), WM_CLOSE, 0, 0);
    PumpUntil([&] { return !prompt_.messages.empty(); }, 5000);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"A build is running. Stop it and exit?");
    EXPECT_EQ(prompt_.messages[0].caption, L"Kilnworks");
    EXPECT_EQ(prompt_.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(window_->RunInProgress());

    Command(IDCANCEL);
    EXPECT_EQ(prompt_.messages.size(), 2u);
    HWND handle = H();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(CountProcesses(L"MSDEV.exe"), 0);
}

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found) {
    auto* wanted = reinterpret_cast<std::pair<DWORD, HWND>*>(found);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == wanted->first && GetDlgItem(window, IDC_EVENT_LOG) != nullptr) wanted->second = window;
    return wanted->second == nullptr;
}

// Starts kilnworks.exe on the package, hands its main window to drive() once it is shown, then
// closes it with the close box. True when all that went through and the program ended with 0.
bool DriveProgram(const std::wstring& package, const std::function<void(HWND)>& drive) {
    std::wstring command = L"\"" + kwtest::ProgramFolder() + L"\\kilnworks.exe\" \"" + package + L"\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    std::pair<DWORD, HWND> found = {process.dwProcessId, nullptr};
    bool shown = PumpUntil([&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
        return found.second != nullptr && IsWindowVisible(found.second);
    });
    if (shown) {
        drive(found.second);
        PostMessageW(found.second, WM_CLOSE, 0, 0);
    }
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return shown && code == 0;
}

// A whole run in another program's window: ">>", the check boxes in order, Start, and Start enabled again.
bool RunRemotely(HWND window, std::initializer_list<int> checks) {
    auto click = [&](int id) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &answer);
    };
    click(IDC_ADD_ALL);
    for (int id : checks) click(id);
    click(IDC_START);
    kw::Window start(window, IDC_START), stop(window, IDC_STOP);
    return PumpUntil([&] { return start.Enabled() && !stop.Enabled(); });
}

TEST(MainWindowProcessTest, RunsTheChosenBuildsAndShowsTheBuildersLines) {
    kwtest::ScratchDir dir(L"e2e");
    std::string journalLine = "journal=" + kw::ToUtf8(dir.File(L"journal.txt")) + "\n";
    std::vector<TestProject> projects = {{L"2", L"Calc", L"VC6", dir.File(L"Calc")},
                                         {L"1", L"Tool", L"VB6", dir.File(L"Tool")}};
    for (TestProject& p : projects) p.standIn = journalLine;
    kwtest::WriteProjects(projects);
    kwtest::WritePackage(dir.File(L"e2e.kwp"), projects);
    std::wstring all;
    ASSERT_TRUE(DriveProgram(dir.File(L"e2e.kwp"), [&](HWND window) {
        ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG}));
        kw::ListBox log(GetDlgItem(window, IDC_EVENT_LOG));
        for (int i = 0; i < log.Count(); ++i) all += log.Line(i) + L"\n";
    }));

    // The C++ Debug build, then the Basic build, with the described command lines.
    std::wstring journal = kw::FromUtf8(ReadBytes(dir.File(L"journal.txt")));
    EXPECT_EQ(std::count(journal.begin(), journal.end(), L'\n'), 2) << kwtest::Narrow(journal);
    size_t toolBuilt = journal.find(L"\\Tool.vbp /outdir ");
    EXPECT_NE(toolBuilt, std::wstring::npos);
    EXPECT_LT(journal.find(L"Calc.dsp /MAKE \"Calc - Win32 Debug\" /OUT "), toolBuilt);

    EXPECT_NE(all.find(L"--------------------Configuration: Calc - Win32 Debug--------------------\n"),
              std::wstring::npos) << kwtest::Narrow(all);
    EXPECT_NE(all.find(L"Calc.exe - 0 error(s), 0 warning(s)\n"), std::wstring::npos);
    EXPECT_EQ(all.find(L"Release"), std::wstring::npos);
    // The run's summary closes its lines, after the Basic builder's.
    size_t toolLine = all.find(L"Build of '");
    ASSERT_NE(toolLine, std::wstring::npos);
    EXPECT_GT(all.find(L"Summary: 2 targets, 2 succeeded, 0 failed, 0 not run.\n", toolLine), toolLine);
}

// Photographs for scripts/screenshot.sh, which runs it by name: the script and this driver meet in
// the folder KW_SHOT_DIR. The driver opens KW_SHOT_PACKAGE, says "ready-1", waits for "taken-1",
// performs a run, says "ready-2", waits for "taken-2" and closes the window.
TEST(MainWindowProcessTest, DISABLED_Screenshots) {
    wchar_t folder[MAX_PATH] = {}, package[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"KW_SHOT_DIR", folder, MAX_PATH) &&
                GetEnvironmentVariableW(L"KW_SHOT_PACKAGE", package, MAX_PATH));
    auto stage = [&](const wchar_t* ready, const wchar_t* taken) {
        Sleep(700);  // let the window finish painting
        WriteBytes(std::wstring(folder) + L"\\" + ready, "");
        return PumpUntil([&] { return FileExists(std::wstring(folder) + L"\\" + taken); }, 120000);
    };
    EXPECT_TRUE(DriveProgram(package, [&](HWND window) {
        ASSERT_TRUE(stage(L"ready-1", L"taken-1"));
        ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}));
        ASSERT_TRUE(stage(L"ready-2", L"taken-2"));
    }));
}

TEST_F(MainWindowTest, TheApplicationKeepsTheWholeFirstArgumentAndNeedsATemporaryFolder) {
    std::wstring longPath = L"C:\\" + std::wstring(197, L'x');
    wchar_t* argv[] = {const_cast<wchar_t*>(L"kilnworks.exe"), longPath.data()};
    EXPECT_EQ(kw::Application(2, argv).StartupPackagePath(), longPath);
    EXPECT_EQ(kw::Application(1, argv).StartupPackagePath(), L"");

    wchar_t temp[1024] = {}, tmp[1024] = {};
    GetEnvironmentVariableW(L"TEMP", temp, 1024);
    GetEnvironmentVariableW(L"TMP", tmp, 1024);
    // TEMP wins whenever it is set, even empty; TMP only stands in for a missing TEMP.
    const struct { const wchar_t *temp, *tmp, *folder; } cases[] = {
        {L"C:\\te mp", L"C:\\tmp", L"C:\\te mp"}, {L"", L"C:\\tmp", L""}, {nullptr, L"C:\\tmp", L"C:\\tmp"}};
    for (const auto& c : cases) {
        SetEnvironmentVariableW(L"TEMP", c.temp);
        SetEnvironmentVariableW(L"TMP", c.tmp);
        kw::Application application;
        EXPECT_TRUE(application.FindTemporaryFolder()) << c.folder;
        EXPECT_EQ(application.TemporaryFolder(), c.folder);
    }
    SetEnvironmentVariableW(L"TEMP", nullptr);
    SetEnvironmentVariableW(L"TMP", nullptr);
    int result = kw::Application(2, argv).InitInstance();
    SetEnvironmentVariableW(L"TEMP", temp);
    SetEnvironmentVariableW(L"TMP", tmp);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].owner, nullptr);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error occured.");
    EXPECT_EQ(prompt_.messages[0].text.rfind(L"Theres no folder configured for temporary files", 0), 0u);
}

}  // namespace
