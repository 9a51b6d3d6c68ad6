// The main window: in-process, hidden, with a scripted prompt for message boxes and file dialogs; and
// kilnworks.exe as its own process, driven from outside by control ids (also for scripts/screenshot.sh).
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "common/RunSupport.h"
#include "common/XmlRead.h"
#include "common/ScriptedPrompt.h"
#include "engine/LogText.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Handles.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <set>

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

// A run's lines with the summary's wall time cut out, as it differs from run to run.
std::string WithoutWallTime(std::string text) {
    for (size_t at = text.find(" not run, in "); at != std::string::npos; at = text.find(" not run, in ", at + 1)) {
        const size_t end = text.find(" s.", at);
        if (end != std::string::npos) text.replace(at + 8, end + 3 - (at + 8), ".");
    }
    return text;
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
        window_.reset();  // the one before has saved its placement before the next reads it
        window_ = std::make_unique<kw::MainWindow>(application_, package);
        window_->UseSettings(settings_);
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
    kwtest::ScratchKey key_{L"MainWindow"};
    kw::SettingsStore settings_ = key_.Store();
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
    // No package command until the run has finished.
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "-E---");
    for (int id : {IDM_OPEN_PACKAGE, IDM_NEW_PACKAGE, IDM_EDIT_PACKAGE}) EXPECT_TRUE(Greyed(id)) << id;
    Click(IDC_ADD_ALL);
    EXPECT_FALSE(Control(IDC_START).Enabled());

    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    const std::wstring first = window_->EventLogLines().front();
    EXPECT_EQ(first.rfind(L"Versionating", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 21), L" -> 12.7.0.4294967295") << kwtest::Narrow(first);
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "E-EEE");
    EXPECT_FALSE(Greyed(IDM_EDIT_PACKAGE));
}

TEST_F(MainWindowTest, ATargetThePackageCantFindByNumberIsNamedAndCountedAsNotRun) {
    Open(Package({{L"abc", L"Letters"}}));
    ASSERT_TRUE(RunAll({IDC_VERSION}));
    std::vector<std::wstring> lines = window_->EventLogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"Project 'Letters' has no usable ProjectID (abc); it is not run.");
    EXPECT_EQ(lines[lines.size() - 2].rfind(L"Summary: 1 target, 0 succeeded, 0 failed, 1 not run, in ", 0), 0u);
}

// A version field's rule, over the number family's table of hard cases.
TEST(VersionFields, AreReadAsSignedNumbersHandedOnAsTheir32BitPattern) {
    const std::pair<const wchar_t*, std::uint32_t> cases[] = {
        {L"", 0},  {L"   ", 0}, {L"  7", 7}, {L"+5", 5}, {L"-1", 4294967295u}, {L"007", 7}, {L"12abc", 12},
        {L"x9", 0}, {L"2147483648", 2147483647u}, {L"-2147483649", 2147483648u}, {L"4294967296", 2147483647u},
        {L"18446744073709551616", 2147483647u},
        // Only 19 bytes are read: the 20th digit is never seen.
        {L"0000000000000000001", 1}, {L"00000000000000000001", 0},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(kw::MainWindow::VersionFieldNumber(text), number) << kwtest::Narrow(text);
    }
}

TEST_F(MainWindowTest, AStartWhoseSetUpFailsSaysWhyAndLeavesTheWindowUsable) {
    Open(FivePackage());
    const std::wstring missing = dir_.File(L"gone");
    application_.SetTemporaryFolder(missing);
    RunAll({IDC_VERSION}, false);
    application_.SetTemporaryFolder(dir_.Path());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"The folder for temporary files " + missing + L" can't be used: it does not exist.");
    prompt_.messages.clear();
    window_->SetRunSetUp([](kw::PackageDocument&, const kw::RunChoices&, const kw::RunEnvironment&) -> kw::PreparedRun {
        throw std::runtime_error("out of handles");
    });
    Click(IDC_START);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"The run could not be started.\n\nout of handles");
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE}), "E-E");
    window_->SetRunSetUp(kw::SetUpRun);
    Click(IDC_START);
    EXPECT_TRUE(window_->RunInProgress());
    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
}

// Parallel: read at Start, kept within 1 to 64, remembered for the next window; a refusal of the
// set-up (here: dependencies in a circle) is shown as it is.
TEST_F(MainWindowTest, TheParallelSettingIsKeptInRangeAndRememberedAndARefusalIsShown) {
    Open(FivePackage());
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"1");
    int seen = 0;
    window_->SetRunSetUp([&seen](kw::PackageDocument&, const kw::RunChoices& choices, const kw::RunEnvironment&) {
        seen = choices.parallelBuilds;
        kw::PreparedRun refused;
        refused.refusal = kw::RunRefusal::Dependencies;
        refused.message = L"Projects depend on each other in a circle: P7 -> P2 -> P7.";
        return refused;
    });
    const std::pair<const wchar_t*, int> cases[] = {{L"3", 3}, {L"0", 1}, {L"", 1}, {L"99", 64}};
    Click(IDC_ADD_ALL);
    Click(IDC_BUILD);
    Click(IDC_DEBUG);
    for (const auto& [typed, taken] : cases) {
        SetWindowTextW(Control(IDC_PARALLEL_BUILDS).Handle(), typed);
        Click(IDC_START);
        EXPECT_EQ(seen, taken) << kwtest::Narrow(typed);
        EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), std::to_wstring(taken));
    }
    ASSERT_EQ(prompt_.messages.size(), 4u);
    EXPECT_EQ(prompt_.messages[0].text, L"Projects depend on each other in a circle: P7 -> P2 -> P7.");
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_FALSE(window_->RunInProgress());
    Open(FivePackage());
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"64");
}

// Both front ends set a run up the same way: a package with a repeated ProjectID shows the same
// lines and summary in the window as in kilnworks-cli run.
TEST_F(MainWindowTest, ARepeatedProjectIdShowsTheSameLinesAsTheConsole) {
    std::vector<TestProject> projects = {{L"2", L"Calc", L"VC6", dir_.File(L"Calc")},
                                         {L"1", L"Tool", L"VB6", dir_.File(L"Tool")},
                                         {L"2", L"Twin", L"VC6", dir_.File(L"Twin")}};
    kwtest::WriteProjects(projects);
    const std::wstring package = Package(projects);
    Open(package);
    ASSERT_TRUE(RunAll({IDC_BUILD, IDC_DEBUG, IDC_VERSION}));
    std::string shown;
    for (const std::wstring& line : window_->EventLogLines()) shown += kw::ToUtf8(line) + "\r\n";
    kwtest::Captured console = kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" run \"" +
                                                   package + L"\" --debug --set-version 1.0.0.0");
    EXPECT_EQ(console.exitCode, 4);
    shown = WithoutWallTime(shown);
    EXPECT_EQ(shown, WithoutWallTime(console.out));
    EXPECT_NE(shown.find("Project 'Twin' has no usable ProjectID (2, as an earlier project's); it is not run.\r\n"),
              std::string::npos) << shown;
    EXPECT_NE(shown.find("Summary: 3 targets, 2 succeeded, 0 failed, 1 not run.\r\n  Twin: no usable ProjectID\r\n"),
              std::string::npos) << shown;
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

// Answers ShellOpen with `answer` and remembers what it was asked to open.
struct ScriptedShell : kw::LinkShell {
    int ShellOpen(const std::wstring& address, int) override {
        opened.push_back(address);
        return answer;
    }
    bool ReadClassesRootDefault(const std::wstring&, std::wstring&) override { return false; }
    int Exec(const std::wstring&, int) override { return 0; }
    int answer = 42;
    std::vector<std::wstring> opened;
};

// "Save report as..." offers the last run that has ended, a stopped one too; none before the first.
TEST_F(MainWindowTest, SaveReportAsWritesTheLastRunsReport) {
    std::vector<TestProject> projects = {{L"1", L"Slow", L"VC6", dir_.File(L"Slow")}};
    projects[0].standIn = "hang=60000\n";
    kwtest::WriteProjects(projects);
    Open(Package(projects, L"Reported"));
    EXPECT_FALSE(window_->CanSaveReport());
    EXPECT_FALSE(window_->SaveReportAs());
    EXPECT_TRUE(prompt_.fileRequests.empty());

    ASSERT_TRUE(RunAll({IDC_BUILD, IDC_DEBUG}, false));
    ASSERT_TRUE(PumpUntil([&] { return !window_->EventLogLines().empty(); }));
    Click(IDC_STOP);
    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    ASSERT_TRUE(window_->CanSaveReport());
    const std::wstring path = dir_.File(L"run report.html");
    prompt_.fileAnswers = {L"", path, dir_.File(L"missing\\report.html")};
    EXPECT_FALSE(window_->SaveReportAs());  // cancelled
    ASSERT_TRUE(window_->SaveReportAs());
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);
    kwtest::XmlRead html(path);
    ASSERT_TRUE(html.Ok()) << kwtest::Narrow(html.Error());
    EXPECT_EQ(html.Text(L"//h:h1"), L"Reported");
    EXPECT_EQ(html.Text(L"//h:div[@id='verdict']/@class"), L"verdict stopped");
    EXPECT_EQ(html.Count(L"//s:svg[@id='timeline']/s:rect"), 1u);

    EXPECT_FALSE(window_->SaveReportAs());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text.rfind(L"The run report could not be saved.\n\nCould not write '", 0), 0u)
        << kwtest::Narrow(prompt_.messages[0].text);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
}

TEST_F(MainWindowTest, ErrorLinesStandOutCanBeSteppedThroughAndOpenTheirFiles) {
    using S = kw::LogLineStyle;
    const std::pair<const wchar_t*, S> lines[] = {
        {L"--------------------Configuration: Calc - Win32 Debug--------------------", S::Plain},
        {L"C:\\Src\\Calc\\Calc.cpp(12) : error C2065: 'undeclaredValue' : undeclared identifier", S::Error},
        {L"C:\\Src\\Calc\\Calc.cpp(40) : warning C4101: 'unused' : unreferenced local variable", S::Warning},
        {L"Calc.obj : error LNK2001: unresolved external symbol _Foo@4", S::Error},
        {L"  indented builder text", S::Plain},
        {L"Summary: 2 targets, 1 succeeded, 1 failed, 0 not run.", S::Error},
        {L"  Calc (Win32 Debug): failed: 1 error(s), 1 warning(s)", S::Error},
        {L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run, in 4 min 12 s.", S::Success},
    };
    Open();
    ScriptedShell shell;
    kw::EventLogView& view = window_->EventLog();
    view.SetShell(shell);
    kw::ListBox log(view.Handle());
    EXPECT_EQ(view.GoToError(true), -1);  // an empty log: a beep
    for (const auto& line : lines) kw::PostLogLine(line.first, H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == 8; }));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(view.StyleAt(i), lines[i].second) << i;
    EXPECT_EQ(window_->EventLogLines()[1], lines[1].first);

    // Onwards from the selection, round the end; back from the first error to the last.
    std::vector<int> visited;
    auto key = [&](bool shift) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(log.Handle(), WM_KEYDOWN, VK_F8, 0);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        visited.push_back(static_cast<int>(log.Send(LB_GETCURSEL)));
    };
    for (int i = 0; i < 5; ++i) key(false);
    key(true);
    key(true);
    EXPECT_EQ(visited, (std::vector<int>{1, 3, 5, 6, 1, 6, 5}));
    EXPECT_EQ(view.GoToError(false), 3);
    EXPECT_EQ(prompt_.beeps.size(), 1u);

    // A double click opens the file a line names; a line naming none does nothing.
    auto doubleClick = [&](int index) {
        log.Send(LB_SETCURSEL, static_cast<WPARAM>(index));
        SendMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_EVENT_LOG, LBN_DBLCLK), reinterpret_cast<LPARAM>(log.Handle()));
    };
    doubleClick(1);
    doubleClick(3);
    EXPECT_EQ(shell.opened, std::vector<std::wstring>{L"C:\\Src\\Calc\\Calc.cpp"});
    EXPECT_TRUE(prompt_.messages.empty());
    shell.answer = SE_ERR_NOASSOC;
    doubleClick(2);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_EQ(prompt_.messages[0].text,
              L"The file could not be opened.\n\nC:\\Src\\Calc\\Calc.cpp\nNo program is associated with files of this kind.");

    // Drawn in its colour on the window's background, or in the highlight colours when selected.
    kw::WindowDc screen(nullptr);
    HDC dc = CreateCompatibleDC(screen.Get());
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen.Get(), 200, 16));
    auto colours = [&](int index, UINT state) {
        DRAWITEMSTRUCT item = {ODT_LISTBOX, IDC_EVENT_LOG, static_cast<UINT>(index), ODA_DRAWENTIRE, state,
                               log.Handle(), dc, {0, 0, 200, 16}, 0};
        view.Draw(item);
        std::set<COLORREF> seen;
        for (int x = 0; x < 200; ++x) {
            for (int y = 0; y < 16; ++y) seen.insert(GetPixel(dc, x, y));
        }
        return seen;
    };
    std::set<COLORREF> error = colours(1, 0), selected = colours(1, ODS_SELECTED), success = colours(7, 0);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    EXPECT_TRUE(error.count(GetSysColor(COLOR_WINDOW)) && error.count(RGB(192, 0, 0)));
    EXPECT_TRUE(selected.count(GetSysColor(COLOR_HIGHLIGHT)) && selected.count(GetSysColor(COLOR_HIGHLIGHTTEXT)));
    EXPECT_EQ(selected.count(RGB(192, 0, 0)), 0u);
    EXPECT_TRUE(success.count(RGB(0, 128, 0)));
}

// Messages sent to the windows in gCounted on this thread, while a hook is installed.
std::vector<HWND> gCounted;
long gSent = 0;
LRESULT CALLBACK CountSent(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && std::find(gCounted.begin(), gCounted.end(), message->hwnd) != gCounted.end()) ++gSent;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, AddAllOnALargePackageTakesMessagesInProportionToItsRows) {
    // 10,000 projects, none in order; one of them already a target, and selected there.
    constexpr int kProjects = 10000;
    std::vector<TestProject> projects;
    for (int i = 0; i < kProjects; ++i) {
        std::wstring id = std::to_wstring(i * 7919 % kProjects + 1);
        projects.push_back({id, L"Project " + id});
    }
    Open(Package(projects));
    ListView packages(H(), IDC_PACKAGE_LIST), targets(H(), IDC_TARGET_LIST);
    ASSERT_EQ(packages.Count(), kProjects);
    Select(IDC_PACKAGE_LIST, {packages.FindData(5000)});
    Click(IDC_ADD_SELECTED);
    Select(IDC_TARGET_LIST, {0});

    gCounted = {packages.Handle(), targets.Handle()};
    gSent = 0;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountSent, nullptr, GetCurrentThreadId());
    Click(IDC_ADD_ALL);
    UnhookWindowsHookEx(hook);
    // A search of the Targets list per copied row would take some fifty million.
    EXPECT_LT(gSent, 4 * kProjects);

    ASSERT_EQ(targets.Count(), kProjects);
    std::vector<int> ids = Rows(IDC_TARGET_LIST);
    for (int i = 0; i < kProjects; ++i) ASSERT_EQ(ids[i], i + 1) << "row " << i;
    EXPECT_EQ(targets.RowText(kProjects - 1), L"Project 10000");
    EXPECT_EQ(targets.Image(0), 1);
    EXPECT_EQ(targets.SelectedCount(), 1);
    EXPECT_TRUE(targets.Selected(4999));
    EXPECT_EQ(packages.SelectedCount(), 0);
    EXPECT_EQ(Enabled({IDC_ADD_SELECTED, IDC_ADD_ALL, IDC_REMOVE_SELECTED, IDC_START}), "-EEE");
}

TEST_F(MainWindowTest, AFloodOfBuilderLogLeavesTheWindowAnsweringAndShowsEveryLine) {
    Open(FivePackage());
    kw::ListBox log(Control(IDC_EVENT_LOG).Handle());
    // 100,000 lines of 64 bytes, posted in 2 KB pieces as the runner reads them, a line cut
    // between two pieces; then a click on ">>" and a line of the program's own.
    constexpr int kLines = 100000;
    std::string text;
    for (int i = 1; i <= kLines; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "     generated line %010d of the flood, %27s\r\n", i, "padding");
        text += line;
    }
    for (size_t at = 0; at < text.size(); at += 2048) {
        ASSERT_TRUE(kw::PostLogText(text.data() + at, static_cast<std::uint32_t>(std::min<size_t>(2048, text.size() - at)),
                                    false, H(), log.Handle()));
    }
    PostMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_ADD_ALL, BN_CLICKED), 0);
    kw::PostLogLine(L"Summary", H(), log.Handle());

    // The click is taken before all of the log is shown: one message at a time, to see when.
    int shownAtClick = -1;
    for (DWORD start = GetTickCount(); shownAtClick < 0 && GetTickCount() - start < 60000;) {
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (ListView(H(), IDC_TARGET_LIST).Count() > 0) shownAtClick = log.Count();
    }
    EXPECT_GE(shownAtClick, 0);
    EXPECT_LT(shownAtClick, kLines);
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == kLines + 1; }));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(log.Line(0), kw::FromUtf8(text.substr(0, text.find("\r\n"))));
    EXPECT_EQ(log.Line(kLines - 1).substr(0, 30), L"     generated line 0000100000");
    EXPECT_EQ(log.Line(kLines), L"Summary");
    // Scrolled to the builder's last line (the program's own line does not scroll).
    RECT client;
    GetClientRect(log.Handle(), &client);
    int perPage = client.bottom / static_cast<int>(log.Send(LB_GETITEMHEIGHT));
    EXPECT_GE(log.TopIndex(), kLines - perPage - 1);
    EXPECT_LE(log.TopIndex(), kLines - 1);
    EXPECT_EQ(kw::LogTextInFlight(H()), 0);
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
    // Saved: a recent package too.
    EXPECT_EQ(window_->Recent().Paths(), (std::vector<std::wstring>{fresh, dir_.File(L"p.kwp")}));
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

TEST_F(MainWindowTest, TheCaptionAndTaskbarFollowTheRunAndComeBackAfterIt) {
    // Slow builders, so each step's caption can be seen; the first one fails. Stamps aren't counted.
    TestProject broken{L"1", L"Broken", L"VC6", dir_.File(L"Broken")};
    TestProject calc{L"2", L"Calc", L"VC6", dir_.File(L"Calc")};
    broken.standIn = "result=fail\nduration=1500\n";
    calc.standIn = "duration=1500\n";
    kwtest::WriteProjects({broken, calc});
    Open(Package({broken, calc}));
    const std::wstring idle = kw::Window(H()).Text();
    using State = kw::TaskbarProgress::State;
    EXPECT_EQ(window_->Taskbar().Shown(), State::None);

    RunAll({IDC_BUILD, IDC_DEBUG, IDC_VERSION}, false);
    auto captionIs = [&](const std::wstring& text) {
        return PumpUntil([&] { return kw::Window(H()).Text() == text; }, 20000);
    };
    ASSERT_TRUE(captionIs(idle + L" - 1 of 2 - Broken (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), State::Normal);
    EXPECT_EQ(window_->Taskbar().Total(), 2);
    ASSERT_TRUE(captionIs(idle + L" - 2 of 2 - Calc (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), State::Error);
    EXPECT_EQ(window_->Taskbar().Done(), 1);

    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    EXPECT_EQ(kw::Window(H()).Text(), idle);
    EXPECT_EQ(window_->Taskbar().Shown(), State::None);
}

// The File menu's entries from the top, a separator as "-".
std::vector<std::wstring> FileMenu(HWND window) {
    HMENU file = GetSubMenu(GetMenu(window), 0);
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
        wchar_t text[300] = {};
        GetMenuStringW(file, i, text, 300, MF_BYPOSITION);
        items.push_back(text[0] != 0 ? text : L"-");
    }
    return items;
}

// Drops the files on the window as the shell does.
void Drop(HWND window, const std::vector<std::wstring>& files) {
    size_t chars = 1;
    for (const std::wstring& file : files) chars += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& file : files) names = std::copy(file.begin(), file.end(), names) + 1;
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST_F(MainWindowTest, TheFileMenuListsRecentPackagesNewestFirstAndForgetsOneThatIsGone) {
    using Strings = std::vector<std::wstring>;
    const Strings commands = {L"Create &new package", L"&Open Package", L"&Edit Package"};
    Open();
    EXPECT_EQ(FileMenu(H()), (Strings{commands[0], commands[1], commands[2], L"&Exit Program"}));

    // Named at start-up, chosen in the open dialog, dropped: each counts as opened.
    const std::wstring a = Package({{L"1", L"A"}}, L"A", L"a.kwp"), b = Package({{L"1", L"B"}}, L"B", L"b.kwp"),
                       c = Package({{L"1", L"C"}}, L"C", L"c & d.kwp");
    Open(a);
    prompt_.fileAnswers = {b};
    Command(IDM_OPEN_PACKAGE);
    Drop(H(), {c});
    std::wstring cMenu = kw::RecentMenuText(0, c);
    EXPECT_NE(cMenu.find(L"c && d.kwp"), std::wstring::npos);
    EXPECT_EQ(FileMenu(H()), (Strings{commands[0], commands[1], commands[2], L"-", cMenu, kw::RecentMenuText(1, b),
                                      kw::RecentMenuText(2, a), L"-", L"&Exit Program"}));

    // Chosen from the menu: opened as the open command does, and in front again.
    Click(IDC_ADD_ALL);
    Command(IDM_RECENT_FIRST + 2);
    EXPECT_EQ(window_->PackagePath(), a);
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: A");
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(window_->Recent().Paths(), (Strings{a, c, b}));

    // Gone since: said so with its path, and off the menu and out of the store; the open package stays.
    DeleteFileW(b.c_str());
    Command(IDM_RECENT_FIRST + 2);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text.rfind(L"This package file no longer exists:\n\n" + b + L"\n\n", 0), 0u);
    EXPECT_EQ(prompt_.messages[0].caption, L"Error");
    EXPECT_EQ(window_->PackagePath(), a);
    EXPECT_EQ(FileMenu(H()).size(), 8u);
    EXPECT_EQ(settings_.ReadList(L"Recent", 8), (Strings{a, c}));

    // The next start finds the list as it was left.
    Open();
    EXPECT_EQ(window_->Recent().Paths(), (Strings{a, c}));
}

TEST_F(MainWindowTest, DroppingOnePackageOpensItWhileOtherFilesSeveralOrADropDuringARunAreRefused) {
    TestProject slow{L"1", L"Slow", L"VC6", dir_.File(L"Slow")};
    slow.standIn = "hang=3000\n";
    kwtest::WriteProjects({slow});
    const std::wstring first = Package({slow}, L"First"), other = Package({{L"1", L"Other"}}, L"Other", L"drop me.kwp");
    WriteBytes(dir_.File(L"notes.txt"), "x");
    CreateDirectoryW(dir_.File(L"folder.kwp").c_str(), nullptr);
    Open(first);
    const std::vector<std::wstring> refused[] = {
        {dir_.File(L"notes.txt")}, {other, first}, {dir_.File(L"folder.kwp")}, {}};
    for (const auto& files : refused) {
        prompt_.messages.clear();
        Drop(H(), files);
        ASSERT_EQ(prompt_.messages.size(), 1u) << files.size();
        EXPECT_EQ(prompt_.messages[0].text, L"Drop one package file (*.kwp) on the window to open it.");
        EXPECT_EQ(prompt_.messages[0].caption, L"Hint");
        EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: First");
    }

    prompt_.messages.clear();
    Drop(H(), {other});
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: Other");
    EXPECT_EQ(window_->PackagePath(), other);

    // During a run the package stays, as for the package commands, and the recent packages are greyed.
    Command(IDM_RECENT_FIRST + 1);
    RunAll({IDC_BUILD, IDC_DEBUG}, false);
    ASSERT_TRUE(window_->RunInProgress());
    Drop(H(), {first});
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, L"A build is running. Open the package when it has finished.");
    EXPECT_TRUE(Greyed(IDM_RECENT_FIRST + 1));
    Command(IDM_RECENT_FIRST + 1);
    EXPECT_EQ(Control(IDC_PACKAGE_GROUP).Text(), L"Package: First");
    window_->OnStop();
    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    EXPECT_FALSE(Greyed(IDM_RECENT_FIRST + 1));
}

// Where a saved place goes on the screens there are is FitToWorkAreas' rule; here: that the window
// takes it, and saves it again.
TEST_F(MainWindowTest, TheWindowComesBackWhereItWasLeftAndAsLargeAsItWas) {
    auto normal = [&] {
        WINDOWPLACEMENT placement = {sizeof(placement)};
        GetWindowPlacement(H(), &placement);
        return placement.rcNormalPosition;
    };
    Open();
    const RECT first = normal();
    const RECT moved = {40, 30, 40 + first.right - first.left + 100, 30 + first.bottom - first.top + 60};
    SetWindowPos(H(), nullptr, moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Command(IDC_EXIT);
    for (bool maximised : {false, true}) {
        if (maximised) {
            ASSERT_TRUE(kw::WritePlacement(settings_, {moved, true}));
        }
        Open();
        RECT now = normal();
        EXPECT_TRUE(EqualRect(&now, &moved)) << maximised;
        EXPECT_EQ(IsZoomed(H()) != FALSE, maximised);
        Command(IDC_EXIT);
        EXPECT_EQ(kw::ReadPlacement(settings_).value_or(kw::SavedPlacement{}).maximised, maximised);
    }
    // Saved far off any screen and too small: back on the screen at the template's size.
    ASSERT_TRUE(kw::WritePlacement(settings_, {{6000, 5000, 6100, 5050}, false}));
    Open();
    RECT now = normal(), screen = kw::CurrentWorkAreas().at(0), inside = {};
    EXPECT_EQ(now.right - now.left, first.right - first.left);
    EXPECT_EQ(now.bottom - now.top, first.bottom - first.top);
    EXPECT_TRUE(IntersectRect(&inside, &now, &screen) && EqualRect(&inside, &now));
}

TEST_F(MainWindowTest, WithARegistryItCannotWriteTheWindowWorksTheSameAndJustForgets) {
    settings_ = key_.UnwritableStore();
    Open(FivePackage());
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size(), 5u);
    EXPECT_EQ(window_->Recent().Paths(), (std::vector<std::wstring>{window_->PackagePath()}));
    Command(IDC_EXIT);
    EXPECT_TRUE(window_->Ended());
    Open();
    EXPECT_TRUE(window_->Recent().Paths().empty());
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(MainWindowTest, AWindowDestroyedDuringALongRunEndsTheBuildersTreeAndTheWorkerAtOnce) {
    TestProject slow{L"1", L"Slow", L"VC6", dir_.File(L"Slow")};
    slow.standIn = "hang=30000\nspawn=child.pid\n";
    kwtest::WriteProjects({slow});
    Open(Package({slow}));
    RunAll({IDC_BUILD, IDC_DEBUG}, false);
    ASSERT_TRUE(window_->RunInProgress());
    const std::wstring pidFile = slow.folder + L"\\child.pid";
    ASSERT_TRUE(PumpUntil([&] { return FileExists(pidFile); }, 20000));
    DWORD pid = std::wcstoul(kw::FromUtf8(ReadBytes(pidFile)).c_str(), nullptr, 10);

    const DWORD start = GetTickCount();
    window_.reset();
    EXPECT_LT(GetTickCount() - start, 10000u) << "no waiting for the builder to end by itself";
    EXPECT_EQ(CountProcesses(L"MSDEV.exe"), 0);
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    EXPECT_TRUE(!child || WaitForSingleObject(child, 5000) == WAIT_OBJECT_0) << "the builder's child survived";
    if (child) CloseHandle(child);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"Slow p.kwp") << "the run's logs are gone";
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

// A whole run in another program's window: ">>", the check boxes in order, Start, and (with wait)
// Start enabled again.
bool RunRemotely(HWND window, std::initializer_list<int> checks, bool wait = true) {
    auto click = [&](int id) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &answer);
    };
    click(IDC_ADD_ALL);
    for (int id : checks) click(id);
    click(IDC_START);
    kw::Window start(window, IDC_START), stop(window, IDC_STOP);
    return !wait || PumpUntil([&] { return start.Enabled() && !stop.Enabled(); });
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
    EXPECT_GT(all.find(L"Summary: 2 targets, 2 succeeded, 0 failed, 0 not run, in ", toolLine), toolLine);
}

// Photographs for scripts/screenshot.sh, which runs these by name: the script and the driver meet
// in the folder KW_SHOT_DIR. The driver opens KW_SHOT_PACKAGE and, at each stage, says "ready-N"
// and waits for "taken-N".
struct ShotStages {
    wchar_t folder[MAX_PATH] = {};
    wchar_t package[MAX_PATH] = {};
    bool Found() {
        return GetEnvironmentVariableW(L"KW_SHOT_DIR", folder, MAX_PATH) &&
               GetEnvironmentVariableW(L"KW_SHOT_PACKAGE", package, MAX_PATH);
    }
    bool Stage(int n) const {
        Sleep(700);  // let the window finish painting
        std::wstring number = std::to_wstring(n);
        WriteBytes(std::wstring(folder) + L"\\ready-" + number, "");
        return PumpUntil([&] { return FileExists(std::wstring(folder) + L"\\taken-" + number); }, 120000);
    }
};

// The window after start-up (1) and after a run (2). With KW_SHOT_ERRORS set, the run builds
// Debug only and the window grows so the whole log shows, its first error selected; with
// KW_SHOT_PROGRESS, (2) is taken during the run's third builder; with KW_SHOT_PARALLEL=N it
// builds Debug with N builders at once.
TEST(MainWindowProcessTest, DISABLED_Screenshots) {
    ShotStages shots;
    ASSERT_TRUE(shots.Found());
    EXPECT_TRUE(DriveProgram(shots.package, [&](HWND window) {
        ASSERT_TRUE(shots.Stage(1));
        if (GetEnvironmentVariableW(L"KW_SHOT_PROGRESS", nullptr, 0) != 0) {
            ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}, false));
            kw::Window caption(window);
            ASSERT_TRUE(PumpUntil([&] { return caption.Text().find(L" 3 of ") != std::wstring::npos; }));
            ASSERT_TRUE(shots.Stage(2));
            ASSERT_TRUE(PumpUntil([&] { return kw::Window(window, IDC_START).Enabled(); }));
            return;
        }
        wchar_t parallel[8] = {};
        if (GetEnvironmentVariableW(L"KW_SHOT_PARALLEL", parallel, 8)) {
            SendMessageW(GetDlgItem(window, IDC_PARALLEL_BUILDS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(parallel));
            ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG}));
            RECT frame;
            GetWindowRect(window, &frame);
            SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 160, frame.bottom - frame.top + 240,
                         SWP_NOMOVE | SWP_NOZORDER);
        } else if (GetEnvironmentVariableW(L"KW_SHOT_ERRORS", nullptr, 0) == 0) {
            ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}));
        } else {
            ASSERT_TRUE(RunRemotely(window, {IDC_BUILD, IDC_DEBUG}));
            RECT frame;
            GetWindowRect(window, &frame);
            SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 160, frame.bottom - frame.top + 240,
                         SWP_NOMOVE | SWP_NOZORDER);
            SendMessageW(GetDlgItem(window, IDC_EVENT_LOG), WM_KEYDOWN, VK_F8, 0);
        }
        ASSERT_TRUE(shots.Stage(2));
    }));
}

// The File menu pulled down, with the recent packages (1).
TEST(MainWindowProcessTest, DISABLED_FileMenuScreenshot) {
    ShotStages shots;
    ASSERT_TRUE(shots.Found());
    EXPECT_TRUE(DriveProgram(shots.package, [&](HWND window) {
        SetForegroundWindow(window);
        PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L'f');
        ASSERT_TRUE(shots.Stage(1));
        PostMessageW(window, WM_CANCELMODE, 0, 0);
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
