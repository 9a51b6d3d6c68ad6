// The main window: in-process, hidden, with a scripted prompt for message boxes and file dialogs;
// and once as kilnworks.exe, its own process, driven from outside by control ids.
#include <gtest/gtest.h>

#include "RemoteWindow.h"
#include "app/AppTestSupport.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "common/RunSupport.h"
#include "common/ScriptedPrompt.h"
#include "common/XmlRead.h"
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
#include <memory>
#include <set>
#include <stdexcept>

using kw::ListView;
using kwremote::PumpUntil;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::TestProject;
using kwtest::WriteBytes;
using Ids = std::vector<int>;
using Strings = std::vector<std::wstring>;

namespace {

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

// The File menu's entries from the top, a separator as "-".
Strings FileMenu(HWND window) {
    HMENU file = GetSubMenu(GetMenu(window), 0);
    Strings items;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
        wchar_t text[300] = {};
        GetMenuStringW(file, i, text, 300, MF_BYPOSITION);
        items.push_back(text[0] != 0 ? text : L"-");
    }
    return items;
}

// Drops the files on the window as the shell does.
void Drop(HWND window, const Strings& files) {
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
        return !wait || RunEnded();
    }
    bool RunEnded() const { return PumpUntil([&] { return !window_->RunInProgress(); }); }
    bool Greyed(int menuId) const { return GetMenuState(GetMenu(H()), menuId, MF_BYCOMMAND) & MF_GRAYED; }
    bool EditShown() const { return Control(IDC_EDIT_PACKAGE).Style() & WS_VISIBLE; }
    std::wstring Group() const { return Control(IDC_PACKAGE_GROUP).Text(); }
    std::wstring Fields() const {
        return Control(IDC_MAJOR).Text() + L"." + Control(IDC_MINOR).Text() + L"." +
               Control(IDC_BUILD_NUMBER).Text() + L"." + Control(IDC_REVISION).Text();
    }
    Ids Rows(int list) const {
        Ids ids;
        ListView view(H(), list);
        for (int i = 0; i < view.Count(); ++i) ids.push_back(static_cast<int>(view.ItemData(i)));
        return ids;
    }
    // Selects the rows, then presses a key in the list, so the window hears of it as of the user's.
    void Select(int list, std::initializer_list<int> rows) const {
        for (int row : rows) ListView(H(), list).SetSelected(row, true);
        SendMessageW(Control(list).Handle(), WM_KEYDOWN, VK_SHIFT, 0);
    }
    // The message boxes shown since the last call, "caption: text" each, one a line.
    std::wstring Said() {
        std::wstring said;
        for (const auto& message : prompt_.messages) said += (said.empty() ? L"" : L"\n") + message.caption + L": " + message.text;
        prompt_.messages.clear();
        return said;
    }
    // The file dialogs from now on answer these, in order.
    void AnswerFiles(const Strings& answers) {
        prompt_.fileRequests.clear();
        prompt_.fileAnswers = answers;
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
    EXPECT_EQ(Said().rfind(L"Error: ", 0), 0u);
    EXPECT_EQ(Group(), L"Package");
    EXPECT_EQ(Enabled({IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EXIT, IDC_START, IDC_STOP, IDC_ADD_ALL,
                       IDC_ACTIONS_GROUP, IDC_BUILD, IDC_VERSION, IDC_MAJOR}),
              "EEE-------");
    EXPECT_FALSE(EditShown());
    EXPECT_TRUE(Greyed(IDM_EDIT_PACKAGE));

    // A 60-character name is cut in the caption; rows in package order with their kinds' images.
    Open(FivePackage(std::wstring(60, L'N')));
    const std::wstring cut = L"Package: " + std::wstring(54, L'N');
    EXPECT_EQ(Group(), cut);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{7, 2, 5, 9, 4}));
    ListView packages(H(), IDC_PACKAGE_LIST);
    EXPECT_EQ(packages.RowText(3), L"P9");
    EXPECT_EQ(std::to_string(packages.Image(2)) + std::to_string(packages.Image(3)) + std::to_string(packages.Image(4)),
              "120");
    EXPECT_EQ(Fields(), L"1.0.0.0");
    EXPECT_EQ(Enabled({IDC_EDIT_PACKAGE, IDC_ADD_ALL, IDC_ADD_SELECTED}), "EE-");
    EXPECT_TRUE(EditShown());
    EXPECT_FALSE(Greyed(IDM_EDIT_PACKAGE));
    EXPECT_EQ(Said(), L"");

    Click(IDC_ADD_ALL);
    WriteBytes(dir_.File(L"bad.kwp"), "<Package><Name>Broken");
    AnswerFiles({dir_.File(L"bad.kwp"), Package({}, L"Empty", L"empty.kwp"),
                 Package({{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C", L""}, {L"4", L"D"}}, L"Cut", L"cut.kwp")});
    Command(IDM_OPEN_PACKAGE);
    EXPECT_EQ(Said(), L"Error: Error while parsing the package file.");
    EXPECT_EQ(Group(), cut);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size(), 5u);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);
    std::wstring name, a, b, c, d;
    EXPECT_EQ(window_->Document().GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, std::wstring(60, L'N'));

    // A package without projects: the hint, the empty list, and the targets of the old one gone.
    Click(IDC_OPEN_PACKAGE);
    EXPECT_EQ(Said(), L"Hint: Hint: This package doesn't contain any project.");
    EXPECT_EQ(Group(), L"Package: Empty");
    EXPECT_TRUE(Rows(IDC_PACKAGE_LIST).empty());
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Enabled({IDC_ADD_ALL, IDC_ACTIONS_GROUP}), "--");
    EXPECT_EQ(window_->PackagePath(), dir_.File(L"empty.kwp"));

    // A project that can't be listed (no Compiler) ends the list there without a word.
    Click(IDC_OPEN_PACKAGE);
    EXPECT_EQ(Said(), L"");
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{1, 2}));
}

// The window is never smaller than its template. Every way of closing an idle window ends it and
// saves its place for the next one (where a saved place goes on the screens there are is
// FitToWorkAreas' rule); with a registry it cannot write, it works the same and just forgets.
TEST_F(MainWindowTest, EveryWayOfClosingSavesThePlaceTheNextWindowComesBackTo) {
    auto normal = [&] {
        WINDOWPLACEMENT placement = {sizeof(placement)};
        GetWindowPlacement(H(), &placement);
        return placement.rcNormalPosition;
    };
    Open();
    const RECT first = normal();
    const int width = first.right - first.left, height = first.bottom - first.top;
    MINMAXINFO limits = {};
    SendMessageW(H(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, width);
    EXPECT_EQ(limits.ptMinTrackSize.y, height);
    const RECT moved = {40, 30, 40 + width + 100, 30 + height + 60};
    SetWindowPos(H(), nullptr, moved.left, moved.top, width + 100, height + 60, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int way : {IDC_EXIT, IDM_EXIT_PROGRAM, IDCANCEL, IDOK}) {
        Command(way);
        EXPECT_FALSE(IsWindow(H())) << way;
        EXPECT_TRUE(window_->Ended()) << way;
        Open();
        RECT now = normal();
        EXPECT_TRUE(EqualRect(&now, &moved)) << way;
    }
    // Maximised: back maximised, and saved so again.
    ASSERT_TRUE(kw::WritePlacement(settings_, {moved, true}));
    for (int start = 0; start < 2; ++start) {
        Open();
        RECT now = normal();
        EXPECT_TRUE(IsZoomed(H()) && EqualRect(&now, &moved)) << start;
        Command(IDC_EXIT);
    }
    // Saved far off any screen and too small: back on the screen at the template's size.
    ASSERT_TRUE(kw::WritePlacement(settings_, {{6000, 5000, 6100, 5050}, false}));
    Open();
    RECT now = normal(), screen = kw::CurrentWorkAreas().at(0), inside = {};
    EXPECT_EQ(now.right - now.left, width);
    EXPECT_EQ(now.bottom - now.top, height);
    EXPECT_TRUE(IntersectRect(&inside, &now, &screen) && EqualRect(&inside, &now));

    settings_ = key_.UnwritableStore();
    Open(FivePackage());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size(), 5u);
    EXPECT_EQ(window_->Recent().Paths(), (Strings{window_->PackagePath()}));
    Command(IDC_EXIT);
    Open();
    EXPECT_TRUE(window_->Recent().Paths().empty());
    EXPECT_EQ(Said(), L"");
}

TEST_F(MainWindowTest, TargetSelectionKeepsEachProjectOnceInAscendingOrder) {
    Open(FivePackage());
    Select(IDC_PACKAGE_LIST, {0, 1, 2});  // 7, 2, 5
    Click(IDC_ADD_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (Ids{2, 5, 7}));
    EXPECT_EQ(ListView(H(), IDC_PACKAGE_LIST).SelectedCount(), 0);
    EXPECT_EQ(Enabled({IDC_ADD_SELECTED, IDC_ADD_ALL, IDC_START}), "-EE");

    // A project that is already a target: nothing copied, its row stays selected.
    Select(IDC_PACKAGE_LIST, {1});
    Click(IDC_ADD_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (Ids{2, 5, 7}));
    EXPECT_TRUE(ListView(H(), IDC_PACKAGE_LIST).Selected(1));

    // ">>" sorts the rest in around a selected target, which stays selected.
    Select(IDC_TARGET_LIST, {1});
    for (int press = 0; press < 2; ++press) {
        Click(IDC_ADD_ALL);
        EXPECT_EQ(Rows(IDC_TARGET_LIST), (Ids{2, 4, 5, 7, 9}));
    }
    EXPECT_EQ(ListView(H(), IDC_TARGET_LIST).Image(4), 2);  // copied with its kind's image
    EXPECT_EQ(ListView(H(), IDC_TARGET_LIST).SelectedCount(), 1);
    EXPECT_TRUE(ListView(H(), IDC_TARGET_LIST).Selected(2));
    Select(IDC_TARGET_LIST, {1, 2});
    Click(IDC_REMOVE_SELECTED);
    EXPECT_EQ(Rows(IDC_TARGET_LIST), (Ids{2, 7, 9}));
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

// Start says why a run can't start (nothing to do, the temporary folder gone, a set-up that fails
// or refuses) and leaves the window usable; it keeps Parallel builds within 1 to 64 and remembers
// it for the next window.
TEST_F(MainWindowTest, StartSaysWhyARunCantStartAndKeepsParallelBuildsInRange) {
    Open(FivePackage());
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"1");
    RunAll({IDC_BUILD, IDC_CLEAN}, false);
    EXPECT_EQ(Said(), L"Hint: No action was selected for execution.");

    Click(IDC_CLEAN);
    Click(IDC_VERSION);
    const std::wstring missing = dir_.File(L"gone");
    application_.SetTemporaryFolder(missing);
    Click(IDC_START);
    application_.SetTemporaryFolder(dir_.Path());
    EXPECT_EQ(Said(), L"Error: The folder for temporary files " + missing + L" can't be used: it does not exist.");
    window_->SetRunSetUp([](kw::PackageDocument&, const kw::RunChoices&, const kw::RunEnvironment&) -> kw::PreparedRun {
        throw std::runtime_error("out of handles");
    });
    Click(IDC_START);
    EXPECT_EQ(Said(), L"Error: The run could not be started.\n\nout of handles");

    int seen = 0;
    window_->SetRunSetUp([&seen](kw::PackageDocument&, const kw::RunChoices& choices, const kw::RunEnvironment&) {
        seen = choices.parallelBuilds;
        kw::PreparedRun refused;
        refused.refusal = kw::RunRefusal::Dependencies;
        refused.message = L"Projects depend on each other in a circle: P7 -> P2 -> P7.";
        return refused;
    });
    const std::pair<const wchar_t*, int> parallel[] = {{L"3", 3}, {L"0", 1}, {L"", 1}, {L"99", 64}};
    for (const auto& [typed, taken] : parallel) {
        Control(IDC_PARALLEL_BUILDS).SetText(typed);
        Click(IDC_START);
        EXPECT_EQ(seen, taken) << kwtest::Narrow(typed);
        EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), std::to_wstring(taken));
        EXPECT_EQ(Said(), L"Error: Projects depend on each other in a circle: P7 -> P2 -> P7.");
    }
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE}), "E-E");
    Open(FivePackage());
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"64");
}

// Builders that fail and hang: the caption and the taskbar follow the run, the version fields are
// read as the run starts, and the package stays while it lasts; Stop ends it and leaves its report;
// closing asks first; a window destroyed mid-run ends the builder's whole tree at once.
TEST_F(MainWindowTest, ARunWithFailingAndHangingBuilders) {
    TestProject broken{L"1", L"Broken", L"VC6", dir_.File(L"Broken")}, slow{L"2", L"Slow", L"VC6", dir_.File(L"Slow")};
    broken.standIn = "result=fail\nduration=1500\n";
    slow.standIn = "hang=30000\nspawn=child.pid\n";
    kwtest::WriteProjects({broken, slow});
    const std::wstring other = Package({{L"1", L"Other"}}, L"Other", L"other.kwp");
    const std::wstring package = Package({broken, slow}, L"Reported");
    Open(other);
    Open(package);
    EXPECT_FALSE(window_->CanSaveReport());  // no run yet
    EXPECT_FALSE(window_->SaveReportAs());
    EXPECT_TRUE(prompt_.fileRequests.empty());
    const std::wstring idle = kw::Window(H()).Text();
    using State = kw::TaskbarProgress::State;
    EXPECT_EQ(window_->Taskbar().Shown(), State::None);
    auto captionIs = [&](const std::wstring& text) {
        return PumpUntil([&] { return kw::Window(H()).Text() == text; }, 20000);
    };

    for (int id : {IDC_ADD_ALL, IDC_BUILD, IDC_DEBUG, IDC_VERSION}) Click(id);  // stamps aren't counted
    // Signed numbers handed on as their 32-bit pattern, 19 bytes of each: the 20th digit is never seen.
    const wchar_t* texts[] = {L"12abc", L"   7", L"00000000000000000001", L"-1"};
    for (int i = 0; i < 4; ++i) Control(IDC_MAJOR + i).SetText(texts[i]);
    Click(IDC_START);
    ASSERT_TRUE(captionIs(idle + L" - 1 of 2 - Broken (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), State::Normal);
    EXPECT_EQ(window_->Taskbar().Total(), 2);
    ASSERT_TRUE(captionIs(idle + L" - 2 of 2 - Slow (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), State::Error);
    EXPECT_EQ(window_->Taskbar().Done(), 1);
    // No package command, recent package or drop replaces the package under the run.
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "-E---");
    for (int id : {IDM_OPEN_PACKAGE, IDM_NEW_PACKAGE, IDM_EDIT_PACKAGE, IDM_RECENT_FIRST + 1}) EXPECT_TRUE(Greyed(id)) << id;
    Click(IDC_ADD_ALL);
    EXPECT_FALSE(Control(IDC_START).Enabled());
    Command(IDM_RECENT_FIRST + 1);
    Drop(H(), {other});
    EXPECT_EQ(Said(), L"Hint: A build is running. Open the package when it has finished.");
    EXPECT_EQ(Group(), L"Package: Reported");

    Click(IDC_STOP);
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(kw::Window(H()).Text(), idle);
    EXPECT_EQ(window_->Taskbar().Shown(), State::None);
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "E-EEE");
    EXPECT_FALSE(Greyed(IDM_RECENT_FIRST + 1));
    const std::wstring first = window_->EventLogLines().front();
    EXPECT_EQ(first.rfind(L"Versionating", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 21), L" -> 12.7.0.4294967295") << kwtest::Narrow(first);
    // "Save report as..." offers the run that has ended, a stopped one too.
    ASSERT_TRUE(window_->CanSaveReport());
    const std::wstring report = dir_.File(L"run report.html");
    AnswerFiles({L"", report, dir_.File(L"missing\\report.html")});
    EXPECT_FALSE(window_->SaveReportAs());  // cancelled
    ASSERT_TRUE(window_->SaveReportAs());
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);
    kwtest::XmlRead html(report);
    ASSERT_TRUE(html.Ok()) << kwtest::Narrow(html.Error());
    EXPECT_EQ(html.Text(L"//h:h1"), L"Reported");
    EXPECT_EQ(html.Text(L"//h:div[@id='verdict']/@class"), L"verdict stopped");
    EXPECT_FALSE(window_->SaveReportAs());
    EXPECT_EQ(Said().rfind(L"Error: The run report could not be saved.\n\nCould not write '", 0), 0u);

    // Closing asks; No keeps the run going, Yes stops it and ends the window with no builder left.
    Click(IDC_START);
    ASSERT_TRUE(window_->RunInProgress());
    prompt_.messageAnswers = {IDNO, IDYES};
    SendMessageW(H(), WM_CLOSE, 0, 0);
    PumpUntil([&] { return !prompt_.messages.empty(); }, 5000);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(window_->RunInProgress());
    Command(IDCANCEL);
    EXPECT_EQ(Said(), L"Kilnworks: A build is running. Stop it and exit?\nKilnworks: A build is running. Stop it and exit?");
    HWND handle = H();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(handle); }));
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(CountProcesses(L"MSDEV.exe"), 0);

    // Destroyed while the builder hangs (for 30 s): no waiting for it, its child gone, logs gone.
    const std::wstring pidFile = slow.folder + L"\\child.pid";
    DeleteFileW(pidFile.c_str());
    Open(package);
    const std::wstring files = kwtest::ListFolder(dir_.Path());
    RunAll({IDC_BUILD, IDC_DEBUG}, false);
    ASSERT_TRUE(PumpUntil([&] { return FileExists(pidFile); }, 20000));
    DWORD pid = std::wcstoul(kw::FromUtf8(ReadBytes(pidFile)).c_str(), nullptr, 10);
    const DWORD start = GetTickCount();
    window_.reset();
    EXPECT_LT(GetTickCount() - start, 10000u) << "no waiting for the builder to end by itself";
    EXPECT_EQ(CountProcesses(L"MSDEV.exe"), 0);
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    EXPECT_TRUE(!child || WaitForSingleObject(child, 5000) == WAIT_OBJECT_0) << "the builder's child survived";
    if (child) CloseHandle(child);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), files) << "the run's logs are gone";
}

TEST_F(MainWindowTest, EventLogShowsAFloodOfBuilderTextAndCopiesAndSavesItsLines) {
    Open();
    kw::ListBox log(Control(IDC_EVENT_LOG).Handle());
    // 100,000 lines of 64 bytes, posted in 2 KB pieces as the runner reads them, a line cut
    // between two pieces; then a line of the program's own.
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
    kw::PostLogLine(L"Summary", H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == kLines + 1; }));
    PumpUntil([] { return false; }, 300);
    const size_t size = text.find("\r\n") + 2;  // every line is as long
    const std::string first = text.substr(0, size), last = text.substr(text.size() - size);
    EXPECT_EQ(log.Line(0) + L"\r\n", kw::FromUtf8(first));
    EXPECT_EQ(log.Line(kLines - 1) + L"\r\n", kw::FromUtf8(last));
    EXPECT_EQ(kw::LogTextInFlight(H()), 0);
    // Scrolled to the builder's last line; the program's own lines leave the view where it is.
    RECT client;
    GetClientRect(log.Handle(), &client);
    const int perPage = client.bottom / static_cast<int>(log.Send(LB_GETITEMHEIGHT));
    EXPECT_GE(log.TopIndex(), kLines - perPage - 1);
    EXPECT_LE(log.TopIndex(), kLines - 1);
    log.SetTopIndex(0);
    const std::wstring wide(400, L'w');
    kw::PostLogLine(wide, H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == kLines + 2; }));
    EXPECT_EQ(log.TopIndex(), 0);
    EXPECT_GT(log.HorizontalExtent(), client.right);

    ASSERT_TRUE(window_->CopyAllLines() && OpenClipboard(H()));
    std::wstring copied = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    CloseClipboard();
    EXPECT_EQ(copied.substr(0, size), kw::FromUtf8(first));
    EXPECT_EQ(copied.substr(copied.size() - size - 9 - 400), kw::FromUtf8(last) + L"Summary\r\n" + wide);

    // Saved as UTF-8; cancelled, nothing is written; a read-only file is refused and kept.
    const std::wstring saved = dir_.File(L"event log.log");
    AnswerFiles({L"", saved, saved});
    EXPECT_FALSE(window_->SaveLogAs());
    EXPECT_FALSE(FileExists(saved));
    ASSERT_TRUE(window_->SaveLogAs());
    std::string bytes = ReadBytes(saved);
    EXPECT_EQ(bytes.substr(0, size + 3), "\xEF\xBB\xBF" + first);
    EXPECT_EQ(bytes.substr(bytes.size() - size - 9 - 402), last + "Summary\r\n" + std::string(400, 'w') + "\r\n");
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);
    WriteBytes(saved, "keep");
    SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_READONLY);
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
    Strings opened;
};

// Which line is an error is the engine's rule; here: that the log shows it, steps through the
// errors and opens the file a line names.
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

    // Onwards from the selection, round the end; back from the first error to the last.
    Ids visited;
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
    EXPECT_EQ(visited, (Ids{1, 3, 5, 6, 1, 6, 5}));
    EXPECT_EQ(view.GoToError(false), 3);
    EXPECT_EQ(prompt_.beeps.size(), 1u);

    // A double click opens the file a line names; a line naming none does nothing.
    auto doubleClick = [&](int index) {
        log.Send(LB_SETCURSEL, static_cast<WPARAM>(index));
        SendMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_EVENT_LOG, LBN_DBLCLK), reinterpret_cast<LPARAM>(log.Handle()));
    };
    doubleClick(1);
    doubleClick(3);
    EXPECT_EQ(shell.opened, Strings{L"C:\\Src\\Calc\\Calc.cpp"});
    shell.answer = SE_ERR_NOASSOC;
    doubleClick(2);
    EXPECT_EQ(Said(),
              L"Error: The file could not be opened.\n\nC:\\Src\\Calc\\Calc.cpp\nNo program is associated with files of this kind.");

    // Drawn in its colour on the window's background; selected, in the highlight colours only.
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
    const std::set<COLORREF> error = colours(1, 0), selected = colours(1, ODS_SELECTED), success = colours(7, 0);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    EXPECT_TRUE(error.count(GetSysColor(COLOR_WINDOW)) && error.count(RGB(192, 0, 0)));
    EXPECT_TRUE(selected.count(GetSysColor(COLOR_HIGHLIGHT)) && selected.count(GetSysColor(COLOR_HIGHLIGHTTEXT)));
    EXPECT_EQ(selected.count(RGB(192, 0, 0)), 0u);
    EXPECT_TRUE(success.count(RGB(0, 128, 0)));
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
    AnswerFiles({dir_.File(L"Extra.vbp")});
    gDriveEditor = [](HWND editor) {
        ClickAdd(editor);
        SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    };
    SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
    Click(IDC_EDIT_PACKAGE);
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{7, 2, 5, 9, 4, 10}));

    // A new package from nothing: file chosen, two projects added, saved; the window shows them,
    // and the new package is a recent one.
    WriteBytes(dir_.File(L"One.dsp"), "# dsp\r\n");
    const std::wstring fresh = dir_.File(L"fresh package.kwp");
    AnswerFiles({fresh, dir_.File(L"One.dsp"), dir_.File(L"Extra.vbp")});
    gDriveEditor = [](HWND editor) {
        ClickAdd(editor);
        ClickAdd(editor);
        SendMessageW(editor, WM_COMMAND, IDOK, 0);
    };
    SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{1, 2}));
    EXPECT_TRUE(EditShown());
    EXPECT_TRUE(Control(IDC_EDIT_PACKAGE).Enabled());
    EXPECT_TRUE(FileExists(fresh));
    EXPECT_EQ(window_->Recent().Paths(), (Strings{fresh, dir_.File(L"p.kwp")}));
}

// Named at start-up, chosen in the open dialog, dropped or taken from the File menu's recent
// packages: each counts as opened. Drops of anything but one package file are refused.
TEST_F(MainWindowTest, PackagesComeInManyWaysAndTheFileMenuRemembersThem) {
    const Strings commands = {L"Create &new package", L"&Open Package", L"&Edit Package"};
    Open();
    EXPECT_EQ(FileMenu(H()), (Strings{commands[0], commands[1], commands[2], L"&Exit Program"}));

    const std::wstring a = Package({{L"1", L"A"}}, L"A", L"a.kwp"), b = Package({{L"1", L"B"}}, L"B", L"b.kwp"),
                       c = Package({{L"1", L"C"}}, L"C", L"c & d.kwp");
    WriteBytes(dir_.File(L"notes.txt"), "x");
    CreateDirectoryW(dir_.File(L"folder.kwp").c_str(), nullptr);
    Open(a);
    AnswerFiles({b});
    Command(IDM_OPEN_PACKAGE);
    const Strings refused[] = {{dir_.File(L"notes.txt")}, {c, a}, {dir_.File(L"folder.kwp")}, {}};
    for (const Strings& files : refused) {
        Drop(H(), files);
        EXPECT_EQ(Said(), L"Hint: Drop one package file (*.kwp) on the window to open it.") << files.size();
        EXPECT_EQ(Group(), L"Package: B");
    }
    Drop(H(), {c});
    EXPECT_EQ(Said(), L"");
    EXPECT_EQ(Group(), L"Package: C");
    EXPECT_EQ(FileMenu(H()), (Strings{commands[0], commands[1], commands[2], L"-", kw::RecentMenuText(0, c),
                                      kw::RecentMenuText(1, b), kw::RecentMenuText(2, a), L"-", L"&Exit Program"}));

    // Chosen from the menu: opened as the open command does, and in front again.
    Click(IDC_ADD_ALL);
    Command(IDM_RECENT_FIRST + 2);
    EXPECT_EQ(window_->PackagePath(), a);
    EXPECT_EQ(Group(), L"Package: A");
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(window_->Recent().Paths(), (Strings{a, c, b}));

    // Gone since: said so with its path, and off the menu and out of the store; the open package stays.
    DeleteFileW(b.c_str());
    Command(IDM_RECENT_FIRST + 2);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(Said().rfind(L"Error: This package file no longer exists:\n\n" + b + L"\n\n", 0), 0u);
    EXPECT_EQ(window_->PackagePath(), a);
    EXPECT_EQ(FileMenu(H()).size(), 8u);
    EXPECT_EQ(settings_.ReadList(L"Recent", 8), (Strings{a, c}));

    // The next start finds the list as it was left.
    Open();
    EXPECT_EQ(window_->Recent().Paths(), (Strings{a, c}));
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
    EXPECT_EQ(Said().rfind(L"Error occured.: Theres no folder configured for temporary files", 0), 0u);
}

// kilnworks.exe as its own process, opening the package its command line names. A run to its end
// shows the numbers the last stamped file holds (the script's four, then the project file's three,
// whose revision is the third), names a repeated ProjectID and doesn't run it, and shows the same
// lines and summary as kilnworks-cli run.
TEST(MainWindowProcessTest, ARunShowsWhatItStampedAndTheSameLinesAsTheConsole) {
    kwtest::ScratchDir dir(L"e2e");
    TestProject calc{L"1", L"Calc", L"VC6", dir.File(L"Calc")}, tool{L"2", L"Tool", L"VB6", dir.File(L"Tool")};
    calc.resource = ReadBytes(kw::FromUtf8(KW_SOURCE_DIR "/demo/Calc/Calc.rc"));
    tool.resource = "Type=Exe\r\nMajorVer=3\r\nMinorVer=1\r\nRevisionVer=9\r\n";
    const std::vector<TestProject> projects = {calc, tool, {L"1", L"Twin", L"VC6", dir.File(L"Twin")}};
    kwtest::WriteProjects(projects);
    const std::wstring package = dir.File(L"e2e package.kwp");
    kwtest::WritePackage(package, projects);
    std::string shown;
    std::wstring fields;
    ASSERT_TRUE(kwremote::DriveProgram(kwtest::ProgramFolder() + L"\\kilnworks.exe", package, [&](HWND window) {
        ASSERT_TRUE(kwremote::RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_VERSION, IDC_AUTO_INCREMENT}));
        kw::ListBox log(GetDlgItem(window, IDC_EVENT_LOG));
        for (int i = 0; i < log.Count(); ++i) shown += kw::ToUtf8(log.Line(i)) + "\r\n";
        for (int id : {IDC_MAJOR, IDC_MINOR, IDC_BUILD_NUMBER, IDC_REVISION}) {
            wchar_t text[20] = {};
            SendMessageW(GetDlgItem(window, id), WM_GETTEXT, 20, reinterpret_cast<LPARAM>(text));
            fields += (fields.empty() ? L"" : L".") + std::wstring(text);
        }
    }));
    EXPECT_EQ(fields, L"3.1.10.27");
    shown = WithoutWallTime(shown);
    EXPECT_NE(shown.find("--------------------Configuration: Calc - Win32 Debug--------------------\r\n"),
              std::string::npos) << shown;
    EXPECT_EQ(shown.find("Release"), std::string::npos);
    EXPECT_NE(shown.find("Project 'Twin' has no usable ProjectID (1, as an earlier project's); it is not run.\r\n"),
              std::string::npos);
    EXPECT_NE(shown.find("Summary: 3 targets, 2 succeeded, 0 failed, 1 not run.\r\n  Twin: no usable ProjectID\r\n"),
              std::string::npos);

    kwtest::WriteProjects(projects);  // the console starts from the same files
    kwtest::Captured console = kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" run \"" +
                                                   package + L"\" --debug --auto-increment");
    EXPECT_EQ(console.exitCode, 4);
    EXPECT_EQ(shown, WithoutWallTime(console.out));
}

}  // namespace
