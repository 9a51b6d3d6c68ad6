// The app subsystem: what the program remembers per user, at the layer that owns each rule; the
// main window in-process, hidden, with a scripted prompt for message boxes and file dialogs; and
// once as kilnworks.exe, its own process, driven from outside by control ids.
#include <gtest/gtest.h>

#include "RemoteWindow.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/RecentPackages.h"
#include "app/SettingsStore.h"
#include "app/WindowPlacement.h"
#include "common/RunSupport.h"
#include "common/ScriptedPrompt.h"
#include "engine/LogText.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <stdexcept>

using kw::ListView;
using kw::RecentPackages;
using kw::SettingsStore;
using kwremote::PumpUntil;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::TestProject;
using kwtest::WriteBytes;
using Ids = std::vector<int>;
using Strings = std::vector<std::wstring>;

namespace {

// HKEY_CURRENT_USER\Software\Kilnworks Tests\<name>, gone before and after the test, so no test
// reads or changes what the user's Kilnworks remembers.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name) : path_(L"Software\\Kilnworks Tests\\" + name) { Remove(); }
    ~ScratchKey() { Remove(); }

    const std::wstring& Path() const { return path_; }
    kw::SettingsStore Store() const { return kw::SettingsStore(HKEY_CURRENT_USER, path_); }
    void Remove() const { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str()); }
    // A store whose key can't be made, as for a user who may not write the registry: it lies
    // under a volatile key, which refuses lasting subkeys.
    kw::SettingsStore UnwritableStore() const {
        Remove();
        kw::RegKeyHandle key;
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        key.Out(), nullptr);
        return kw::SettingsStore(HKEY_CURRENT_USER, path_ + L"\\Kilnworks");
    }

private:
    std::wstring path_;
};

// Texts and lists go round where the window keeps its recent packages; here, a number's round
// trip, what the store makes of values it did not write, and of a registry it cannot use.
TEST(SettingsStoreTest, TakesDamagedValuesAsMissingAndAnAbsentOrUnwritableRegistryJustForgets) {
    ScratchKey scratch(L"store");
    SettingsStore store = scratch.Store();
    EXPECT_FALSE(store.ReadText(L"", L"Name"));  // nothing there yet
    EXPECT_FALSE(store.ReadNumber(L"Window", L"Left"));
    ASSERT_TRUE(store.WriteNumber(L"Window", L"Left", 0xFFFFFF9C));
    EXPECT_EQ(store.ReadNumber(L"Window", L"Left").value_or(0), 0xFFFFFF9Cu);

    // Values someone else wrote: of another kind, without a terminator, absurdly long.
    const wchar_t* path = scratch.Path().c_str();
    const DWORD number = 5;
    const std::wstring huge(SettingsStore::kMaxTextChars + 1, L'x');
    RegSetKeyValueW(HKEY_CURRENT_USER, path, L"Number", REG_DWORD, &number, sizeof(number));
    RegSetKeyValueW(HKEY_CURRENT_USER, path, L"Text", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    RegSetKeyValueW(HKEY_CURRENT_USER, path, L"Odd", REG_SZ, L"ab", 3);
    RegSetKeyValueW(HKEY_CURRENT_USER, path, L"Huge", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
    EXPECT_FALSE(store.ReadText(L"", L"Number"));
    EXPECT_FALSE(store.ReadNumber(L"", L"Text"));
    EXPECT_EQ(store.ReadText(L"", L"Text").value_or(L"?"), L"abc");
    EXPECT_EQ(store.ReadText(L"", L"Odd").value_or(L"?"), L"a");
    EXPECT_FALSE(store.ReadText(L"", L"Huge"));
    EXPECT_FALSE(store.WriteText(L"", L"Huge", huge));

    const SettingsStore stores[] = {SettingsStore(nullptr, L"Software\\Kilnworks"), scratch.UnwritableStore()};
    for (const SettingsStore& unusable : stores) {
        EXPECT_FALSE(unusable.WriteText(L"", L"Name", L"x"));
        EXPECT_FALSE(unusable.WriteNumber(L"Window", L"Left", 1));
        EXPECT_FALSE(unusable.WriteList(L"Recent", {L"a"}, 8));
        EXPECT_FALSE(unusable.ReadText(L"", L"Name"));
        EXPECT_FALSE(kw::ReadPlacement(unusable));
        EXPECT_FALSE(kw::WritePlacement(unusable, {{0, 0, 10, 10}, false}));
    }
}

TEST(RecentPackagesTest, MostRecentFirstAtMostEightAndEachFileOnceHoweverItIsSpelt) {
    kwtest::ScratchDir dir(L"recent");
    RecentPackages recent;
    Strings files;
    for (int i = 1; i <= 10; ++i) {
        files.push_back(dir.File(L"package number " + std::to_wstring(i) + L".kwp"));
        kwtest::WriteBytes(files.back(), "<Package/>");
        recent.Add(files.back());
    }
    EXPECT_EQ(recent.Paths(), Strings(files.rbegin(), files.rend() - 2));  // 1 and 2 fell off the end

    // The same file by other names: it moves to the front, and only its newest spelling stays.
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(files[4].c_str(), shortName, MAX_PATH), 0u);
    const std::wstring upper = dir.File(L"PACKAGE NUMBER 6.KWP"), slashes = dir.Path() + L"/package number 7.kwp";
    const std::wstring link = dir.File(L"link.kwp");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), files[7].c_str(), nullptr));
    const Strings spellings = {shortName, upper, slashes, dir.File(L"sub\\..\\package number 9.kwp"), link};
    for (const std::wstring& spelling : spellings) recent.Add(spelling);
    // Made whole and long: the short name, the slashes, "sub\..".
    EXPECT_EQ(recent.Paths(), (Strings{link, files[8], files[6], upper, files[4], files[9], files[3], files[2]}));

    // Repeats and blanks someone put in the store are dropped; a removal goes by the file's name.
    ScratchKey scratch(L"recent");
    ASSERT_TRUE(scratch.Store().WriteList(L"Recent", {L"C:\\A.kwp", L"", L"c:\\a.KWP", L"C:\\B.kwp"}, 8));
    recent.Load(scratch.Store());
    EXPECT_EQ(recent.Paths(), (Strings{L"C:\\A.kwp", L"C:\\B.kwp"}));
    EXPECT_TRUE(recent.Remove(L"c:\\b.kwp"));  // as another instance may have spelt it
    EXPECT_EQ(recent.Paths(), (Strings{L"C:\\A.kwp"}));
}

TEST(RecentPackagesTest, MenuTextNumbersTheEntryAndShortensLongPathsInTheMiddle) {
    const std::wstring longFolder = L"C:\\Users\\Developer\\Documents\\Visual Studio Projects\\Accounting Suite";
    const struct { std::wstring path; size_t index; std::wstring text; } cases[] = {
        {L"C:\\Kilnworks\\Demo\\Demo.kwp", 0, L"&1 C:\\Kilnworks\\Demo\\Demo.kwp"},
        {L"C:\\R&D\\Tools.kwp", 7, L"&8 C:\\R&&D\\Tools.kwp"},
        {longFolder + L"\\Release 2026\\Accounting.kwp", 1,
         L"&2 C:\\Users\\...\\Accounting Suite\\Release 2026\\Accounting.kwp"},
        {L"\\\\buildserver\\packages\\" + std::wstring(40, L'f') + L"\\Nightly\\Tools.kwp", 2,
         L"&3 \\\\buildserver\\packages\\...\\Nightly\\Tools.kwp"},
        {L"C:\\" + std::wstring(30, L'a') + L"\\" + std::wstring(70, L'n') + L".kwp", 3,
         L"&4 ...\\" + std::wstring(70, L'n') + L".kwp"},
    };
    for (const auto& c : cases) EXPECT_EQ(kw::RecentMenuText(c.index, c.path), c.text) << kwtest::Narrow(c.path);
}

TEST(WindowPlacementTest, KeepsTheWindowWholeOnAScreenThereIsAndNeverBelowTheTemplateSize) {
    const RECT primary = {0, 0, 1280, 1000}, right = {1280, 0, 3200, 1080};
    const SIZE minimum = {500, 400};
    const struct { const char* what; RECT saved; std::vector<RECT> areas; RECT placed; } cases[] = {
        {"where it was", {100, 50, 800, 650}, {primary}, {100, 50, 800, 650}},
        {"on the second screen", {1500, 100, 2300, 700}, {primary, right}, {1500, 100, 2300, 700}},
        {"second screen gone", {1500, 100, 2300, 700}, {primary}, {480, 100, 1280, 700}},
        {"far off to the left and up", {-5000, -4000, -4400, -3500}, {primary, right}, {0, 0, 600, 500}},
        {"half over the bottom edge", {200, 800, 900, 1300}, {primary}, {200, 500, 900, 1000}},
        {"more on the second screen", {1000, 100, 1700, 600}, {primary, right}, {1280, 100, 1980, 600}},
        {"smaller than the template", {10, 10, 20, 20}, {primary}, {10, 10, 510, 410}},
        {"larger than the screen", {-10, -10, 3000, 2000}, {primary}, {0, 0, 1280, 1000}},
        {"screen smaller than the template", {50, 50, 600, 500}, {{0, 0, 400, 300}}, {0, 0, 500, 400}},
        {"no screens known", {5000, 5000, 5010, 5010}, {}, {5000, 5000, 5500, 5400}},
    };
    auto sides = [](const RECT& r) { return std::vector<LONG>{r.left, r.top, r.right, r.bottom}; };
    for (const auto& c : cases) EXPECT_EQ(sides(kw::FitToWorkAreas(c.saved, minimum, c.areas)), sides(c.placed)) << c.what;
}

TEST(WindowPlacementTest, ASavedPlacementThatCantBeRightIsIgnored) {
    ScratchKey scratch(L"placement");
    SettingsStore store = scratch.Store();
    const struct { const wchar_t* side; DWORD value; } damage[] = {
        {L"Left", 0}, {L"Right", static_cast<DWORD>(-30)}, {L"Bottom", 30}, {L"Left", 0x7FFFFFFF}, {L"Top", 0x80000000}};
    for (const auto& d : damage) {
        ASSERT_TRUE(kw::WritePlacement(store, {{-20, 30, 700, 600}, true}));
        ASSERT_TRUE(store.WriteNumber(L"Window", d.side, d.value));
        EXPECT_EQ(kw::ReadPlacement(store).has_value(), &d == &damage[0]) << kwtest::Narrow(d.side) << d.value;
    }
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
    *header = {sizeof(DROPFILES), {}, FALSE, TRUE};
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
        kwtest::WritePackage(dir_.File(file), projects, name);
        return dir_.File(file);
    }
    // ProjectIDs 7, 2, 5, 9, 4 in package order; 9 is Basic, 4 of no known kind.
    std::wstring FivePackage(const std::wstring& name = L"Five") {
        return Package({{L"7", L"P7"}, {L"2", L"P2"}, {L"5", L"P5"}, {L"9", L"P9", L"VB6"}, {L"4", L"P4", L"XX"}},
                       name);
    }
    void Open(const std::wstring& package = std::wstring()) {
        window_.reset();  // the one before has saved its placement before the next reads it
        window_ = std::make_unique<kw::MainWindow>(application_, package);
        window_->UseSettings(settings_);
        ASSERT_NE(window_->Create(nullptr), nullptr);
    }
    HWND H() const { return window_->Handle(); }
    kw::Window Control(int id) const { return kw::Window(H(), id); }
    void Click(std::initializer_list<int> ids) const {
        for (int id : ids) kw::Button(H(), id).Click();
    }
    void Command(int id) const { SendMessageW(H(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // "E" for each enabled control, "-" for each disabled one.
    std::string Enabled(std::initializer_list<int> ids) const {
        std::string flags;
        for (int id : ids) flags += Control(id).Enabled() ? 'E' : '-';
        return flags;
    }
    bool Greyed(int menuId) const { return GetMenuState(GetMenu(H()), menuId, MF_BYCOMMAND) & MF_GRAYED; }
    bool EditShown() const { return Control(IDC_EDIT_PACKAGE).Style() & WS_VISIBLE; }
    std::wstring Group() const { return Control(IDC_PACKAGE_GROUP).Text(); }
    // The ProjectIDs of the list's rows, or with selected, the indexes of its selected rows.
    Ids Rows(int list, bool selected = false) const {
        Ids ids;
        ListView view(H(), list);
        for (int i = 0; i < view.Count(); ++i) {
            if (!selected) ids.push_back(static_cast<int>(view.ItemData(i)));
            else if (view.Selected(i)) ids.push_back(i);
        }
        return ids;
    }
    // Selects the rows, then presses a key in the list, so the window hears of it as of the user's.
    void Select(int list, const Ids& rows) const {
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
    void AnswerFiles(const Strings& answers) {
        prompt_.fileRequests.clear();
        prompt_.fileAnswers = answers;
    }

    kwtest::ScratchDir dir_{L"mw"};
    ScratchKey key_{L"MainWindow"};
    kw::SettingsStore settings_ = key_.Store();
    kwtest::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    kw::Application application_;
    std::unique_ptr<kw::MainWindow> window_;
};

// Named at start-up, chosen, dropped or taken from the File menu's recent packages: each counts
// as opened. A package that can't be read leaves the one the document holds.
TEST_F(MainWindowTest, PackagesComeInManyWaysAndAFailedOpenKeepsTheOneTheDocumentHolds) {
    // Named at start-up but unreadable: no package, only the package commands and Exit enabled.
    Open(dir_.File(L"missing.kwp"));
    EXPECT_EQ(Said().rfind(L"Error: ", 0), 0u);
    EXPECT_EQ(Group() + window_->PackagePath(), L"Package");
    EXPECT_EQ(Enabled({IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EXIT, IDC_START, IDC_STOP, IDC_ADD_ALL,
                       IDC_ACTIONS_GROUP, IDC_BUILD, IDC_VERSION, IDC_MAJOR}),
              "EEE-------");
    EXPECT_TRUE(!EditShown() && Greyed(IDM_EDIT_PACKAGE));
    const Strings commands = {L"Create &new package", L"&Open Package", L"&Edit Package"};
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
    Command(IDM_RECENT_FIRST + 2);
    EXPECT_EQ(Group(), L"Package: A");
    EXPECT_EQ(window_->Recent().Paths(), (Strings{a, c, b}));

    // Gone since: said so with its path, and off the menu and out of the store; the open package stays.
    DeleteFileW(b.c_str());
    Command(IDM_RECENT_FIRST + 2);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(Said().rfind(L"Error: This package file no longer exists:\n\n" + b + L"\n\n", 0), 0u);
    EXPECT_EQ(window_->PackagePath(), a);
    EXPECT_EQ(FileMenu(H()).size(), 8u);
    EXPECT_EQ(settings_.ReadList(L"Recent", 8), (Strings{a, c}));

    // The list as it was left; a 60-character name cut in the caption; rows with their kinds'
    // images; the package's version (WritePackage's 1.2.3.4) in the fields.
    const std::wstring five = FivePackage(std::wstring(60, L'N'));
    Open(five);
    EXPECT_EQ(window_->Recent().Paths(), (Strings{five, a, c}));
    const std::wstring cut = L"Package: " + std::wstring(54, L'N');
    EXPECT_EQ(Group(), cut);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{7, 2, 5, 9, 4}));
    ListView packages(H(), IDC_PACKAGE_LIST);
    EXPECT_EQ(packages.RowText(3), L"P9");
    EXPECT_EQ((Ids{packages.Image(2), packages.Image(3), packages.Image(4)}), (Ids{1, 2, 0}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Control(IDC_MAJOR + i).Text(), std::to_wstring(i + 1));
    EXPECT_EQ(Enabled({IDC_EDIT_PACKAGE, IDC_ADD_ALL, IDC_ADD_SELECTED}), "EE-");
    EXPECT_TRUE(EditShown() && !Greyed(IDM_EDIT_PACKAGE));
    EXPECT_EQ(Said(), L"");

    Click({IDC_ADD_ALL});
    WriteBytes(dir_.File(L"bad.kwp"), "<Package><Name>Broken");
    AnswerFiles({dir_.File(L"bad.kwp"), Package({}, L"Empty", L"empty.kwp"),
                 Package({{L"1", L"A"}, {L"2", L"B"}, {L"3", L"C", L""}, {L"4", L"D"}}, L"Cut", L"cut.kwp")});
    Command(IDM_OPEN_PACKAGE);
    EXPECT_EQ(Said(), L"Error: Error while parsing the package file.");
    EXPECT_EQ(Group(), cut);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST).size() + Rows(IDC_TARGET_LIST).size(), 10u);
    EXPECT_TRUE(window_->Document().IsLoaded() && window_->Document().Path() == five && window_->PackagePath() == five);

    // A package without projects: the hint, the empty list, and the targets of the old one gone.
    Click({IDC_OPEN_PACKAGE});
    EXPECT_EQ(Said(), L"Hint: Hint: This package doesn't contain any project.");
    EXPECT_EQ(Group(), L"Package: Empty");
    EXPECT_TRUE(Rows(IDC_PACKAGE_LIST).empty() && Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Enabled({IDC_ADD_ALL, IDC_ACTIONS_GROUP}), "--");

    // A project that can't be listed (no Compiler) ends the list there without a word.
    Click({IDC_OPEN_PACKAGE});
    EXPECT_EQ(Said(), L"");
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{1, 2}));
}

// With a registry it cannot write, the window works the same and just forgets.
TEST_F(MainWindowTest, EveryWayOfClosingSavesThePlaceTheNextWindowComesBackTo) {
    auto placedAt = [&](const RECT& expected) {
        WINDOWPLACEMENT placement = {sizeof(placement)};
        GetWindowPlacement(H(), &placement);
        return EqualRect(&placement.rcNormalPosition, &expected) != FALSE;
    };
    Open();
    RECT first = {};
    GetWindowRect(H(), &first);
    const SIZE size = {first.right - first.left, first.bottom - first.top};
    MINMAXINFO limits = {};
    SendMessageW(H(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_TRUE(limits.ptMinTrackSize.x == size.cx && limits.ptMinTrackSize.y == size.cy);  // never below the template
    const RECT moved = {40, 30, 40 + size.cx + 100, 30 + size.cy + 60};
    SetWindowPos(H(), nullptr, moved.left, moved.top, size.cx + 100, size.cy + 60, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int way : {IDC_EXIT, IDM_EXIT_PROGRAM, IDCANCEL, IDOK}) {
        SCOPED_TRACE(way);
        Command(way);
        EXPECT_TRUE(!IsWindow(H()) && window_->Ended());
        Open();
        EXPECT_TRUE(placedAt(moved));
    }
    ASSERT_TRUE(kw::WritePlacement(settings_, {moved, true}));
    for (int start = 0; start < 2; ++start) {
        Open();
        EXPECT_TRUE(IsZoomed(H()) && placedAt(moved)) << "back maximised, and saved so again";
        Command(IDC_EXIT);
    }
    // Saved far off any screen and too small: where that goes is FitToWorkAreas' rule.
    const RECT offScreen = {6000, 5000, 6100, 5050};
    ASSERT_TRUE(kw::WritePlacement(settings_, {offScreen, false}));
    Open();
    EXPECT_TRUE(placedAt(kw::FitToWorkAreas(offScreen, size, kw::CurrentWorkAreas())));

    settings_ = key_.UnwritableStore();
    Open(FivePackage());
    EXPECT_EQ(window_->Recent().Paths(), (Strings{window_->PackagePath()}));
    Command(IDC_EXIT);
    Open();
    EXPECT_TRUE(window_->Recent().Paths().empty());
    EXPECT_EQ(Said(), L"");
}

// Each project is a target once, in ascending order; the actions panel follows its check boxes.
TEST_F(MainWindowTest, TargetsActionsAndAStartThatCantRun) {
    Open(FivePackage());
    // Enabled flags of ">", Start, "<", clear, the actions group, Build and Version after each step.
    struct Step { int list; Ids select; int button; Ids targets, selectedPackages, selectedTargets; const char* enabled; };
    const Step steps[] = {
        {IDC_PACKAGE_LIST, {0, 1, 2}, IDC_ADD_SELECTED, {2, 5, 7}, {}, {}, "-E-EEEE"},
        // Already a target: nothing copied, its row stays selected.
        {IDC_PACKAGE_LIST, {1}, IDC_ADD_SELECTED, {2, 5, 7}, {1}, {}, "EE-EEEE"},
        // ">>" sorts the rest in around a selected target, which stays selected; twice is as once.
        {IDC_TARGET_LIST, {1}, IDC_ADD_ALL, {2, 4, 5, 7, 9}, {}, {2}, "-EEEEEE"},
        {IDC_TARGET_LIST, {}, IDC_ADD_ALL, {2, 4, 5, 7, 9}, {}, {2}, "-EEEEEE"},
        {IDC_TARGET_LIST, {1, 2}, IDC_REMOVE_SELECTED, {2, 7, 9}, {}, {}, "-E-EEEE"},
        {IDC_TARGET_LIST, {0, 1, 2}, IDC_REMOVE_SELECTED, {}, {}, {}, "-------"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        Select(step.list, step.select);
        Click({step.button});
        EXPECT_EQ(Rows(IDC_TARGET_LIST), step.targets);
        EXPECT_EQ(Rows(IDC_PACKAGE_LIST, true), step.selectedPackages);
        EXPECT_EQ(Rows(IDC_TARGET_LIST, true), step.selectedTargets);
        EXPECT_EQ(Enabled({IDC_ADD_SELECTED, IDC_START, IDC_REMOVE_SELECTED, IDC_CLEAR_TARGETS, IDC_ACTIONS_GROUP,
                           IDC_BUILD, IDC_VERSION}),
                  step.enabled);
    }

    Click({IDC_ADD_ALL});
    EXPECT_EQ(ListView(H(), IDC_TARGET_LIST).Image(4), 2);  // copied with its kind's image
    // Enabled flags of Debug, Clean, set:, Auto, the major field; then checked Debug, set:, Auto.
    auto state = [&] {
        std::string s = Enabled({IDC_DEBUG, IDC_CLEAN, IDC_SET_VERSION, IDC_AUTO_INCREMENT, IDC_MAJOR}) + ' ';
        for (int id : {IDC_DEBUG, IDC_SET_VERSION, IDC_AUTO_INCREMENT}) s += kw::Button(H(), id).Checked() ? 'X' : '.';
        return s;
    };
    const struct { int click; const char* after; } clicks[] = {
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
    for (const auto& click : clicks) {
        if (click.click) Click({click.click});
        EXPECT_EQ(state(), click.after) << "after clicking " << click.click;
    }

    // Start says why a run can't start and leaves the window usable; Parallel builds kept within
    // 1 to 64, and remembered for the next window.
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"1");
    Click({IDC_BUILD, IDC_DEBUG, IDC_CLEAN, IDC_START});  // Build and Clean, no configuration
    EXPECT_EQ(Said(), L"Hint: No action was selected for execution.");
    Click({IDC_CLEAN, IDC_VERSION});
    const std::wstring missing = dir_.File(L"gone");
    application_.SetTemporaryFolder(missing);
    Click({IDC_START});
    application_.SetTemporaryFolder(dir_.Path());
    EXPECT_EQ(Said(), L"Error: The folder for temporary files " + missing + L" can't be used: it does not exist.");
    window_->SetRunSetUp([](kw::PackageDocument&, const kw::RunChoices&, const kw::RunEnvironment&) -> kw::PreparedRun {
        throw std::runtime_error("out of handles");
    });
    Click({IDC_START});
    EXPECT_EQ(Said(), L"Error: The run could not be started.\n\nout of handles");

    int seen = 0;
    window_->SetRunSetUp([&seen](kw::PackageDocument&, const kw::RunChoices& choices, const kw::RunEnvironment&) {
        seen = choices.parallelBuilds;
        return kw::PreparedRun{kw::RunRefusal::Dependencies, L"P7 and P2 depend on each other."};
    });
    const std::pair<const wchar_t*, int> parallel[] = {{L"3", 3}, {L"0", 1}, {L"", 1}, {L"99", 64}};
    for (const auto& [typed, taken] : parallel) {
        SCOPED_TRACE(kwtest::Narrow(typed));
        Control(IDC_PARALLEL_BUILDS).SetText(typed);
        Click({IDC_START});
        EXPECT_EQ(seen, taken);
        EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), std::to_wstring(taken));
        EXPECT_EQ(Said(), L"Error: P7 and P2 depend on each other.");
    }
    EXPECT_FALSE(window_->RunInProgress());
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE}), "E-E");
    Open(FivePackage());
    EXPECT_EQ(Control(IDC_PARALLEL_BUILDS).Text(), L"64");
}

// The caption and the taskbar follow the run and the package stays while it lasts; closing asks
// first; a window destroyed mid-run ends the builder's whole tree at once.
TEST_F(MainWindowTest, ARunWithFailingAndHangingBuilders) {
    TestProject broken{L"1", L"Broken", L"VC6", dir_.File(L"Broken")}, slow{L"2", L"Slow", L"VC6", dir_.File(L"Slow")};
    broken.standIn = "result=fail\nduration=1500\n";
    slow.standIn = "hang=30000\nspawn=child.pid\n";
    kwtest::WriteProjects({broken, slow});
    const std::wstring other = Package({{L"1", L"Other"}}, L"Other", L"other.kwp");
    const std::wstring package = Package({broken, slow}, L"Reported");
    Open(other);
    Open(package);
    EXPECT_FALSE(window_->CanSaveReport() || window_->SaveReportAs());  // no run yet
    EXPECT_TRUE(prompt_.fileRequests.empty());
    const std::wstring idle = kw::Window(H()).Text();
    auto captionIs = [&](const std::wstring& text) {
        return PumpUntil([&] { return kw::Window(H()).Text() == text; }, 20000);
    };

    Click({IDC_ADD_ALL, IDC_BUILD, IDC_DEBUG, IDC_VERSION});  // stamps aren't counted
    // Signed numbers handed on as their 32-bit pattern, 19 bytes of each: the 20th digit is never seen.
    const wchar_t* texts[] = {L"12abc", L"   7", L"00000000000000000001", L"-1"};
    for (int i = 0; i < 4; ++i) Control(IDC_MAJOR + i).SetText(texts[i]);
    Click({IDC_START});
    ASSERT_TRUE(captionIs(idle + L" - 1 of 2 - Broken (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), kw::TaskbarProgress::State::Normal);
    EXPECT_EQ(window_->Taskbar().Total(), 2);
    ASSERT_TRUE(captionIs(idle + L" - 2 of 2 - Slow (Win32 Debug)")) << kwtest::Narrow(kw::Window(H()).Text());
    EXPECT_EQ(window_->Taskbar().Shown(), kw::TaskbarProgress::State::Error);
    EXPECT_EQ(window_->Taskbar().Done(), 1);
    // No package command, recent package or drop replaces the package under the run.
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "-E---");
    for (int id : {IDM_OPEN_PACKAGE, IDM_NEW_PACKAGE, IDM_EDIT_PACKAGE, IDM_RECENT_FIRST + 1}) EXPECT_TRUE(Greyed(id)) << id;
    Click({IDC_ADD_ALL});
    EXPECT_FALSE(Control(IDC_START).Enabled());
    Command(IDM_RECENT_FIRST + 1);
    Drop(H(), {other});
    EXPECT_EQ(Said(), L"Hint: A build is running. Open the package when it has finished.");
    EXPECT_EQ(Group(), L"Package: Reported");

    Click({IDC_STOP});
    ASSERT_TRUE(PumpUntil([&] { return !window_->RunInProgress(); }));
    EXPECT_EQ(kw::Window(H()).Text(), idle);
    EXPECT_EQ(window_->Taskbar().Shown(), kw::TaskbarProgress::State::None);
    EXPECT_EQ(Enabled({IDC_START, IDC_STOP, IDC_OPEN_PACKAGE, IDC_NEW_PACKAGE, IDC_EDIT_PACKAGE}), "E-EEE");
    EXPECT_FALSE(Greyed(IDM_RECENT_FIRST + 1));
    const std::wstring first = window_->EventLogLines().front();
    EXPECT_EQ(first.substr(0, 12) + first.substr(first.rfind(L" -> ")), L"Versionating -> 12.7.0.4294967295");
    // "Save report as..." offers the run that has ended, a stopped one too.
    ASSERT_TRUE(window_->CanSaveReport());
    const std::wstring report = dir_.File(L"run report.html");
    AnswerFiles({L"", report, dir_.File(L"missing\\report.html")});
    EXPECT_FALSE(window_->SaveReportAs());  // cancelled
    ASSERT_TRUE(window_->SaveReportAs());
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);
    EXPECT_NE(ReadBytes(report).find("<h1>Reported</h1>"), std::string::npos);
    EXPECT_FALSE(window_->SaveReportAs());
    EXPECT_EQ(Said().rfind(L"Error: The run report could not be saved.\n\nCould not write '", 0), 0u);

    // Closing asks; No keeps the run going, Yes stops it (no waiting out the hang) and ends the window.
    Click({IDC_START});
    ASSERT_TRUE(window_->RunInProgress());
    prompt_.messageAnswers = {IDNO, IDYES};
    SendMessageW(H(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return prompt_.messages.size() == 1; }, 5000));
    EXPECT_EQ(prompt_.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(window_->RunInProgress());
    Command(IDCANCEL);
    EXPECT_EQ(Said(), L"Kilnworks: A build is running. Stop it and exit?\nKilnworks: A build is running. Stop it and exit?");
    ASSERT_TRUE(PumpUntil([&] { return window_->Ended(); }, 10000));
    EXPECT_FALSE(window_->RunInProgress());

    // Destroyed while the builder hangs: no waiting for it, its child gone, logs gone.
    const std::wstring pidFile = slow.folder + L"\\child.pid";
    DeleteFileW(pidFile.c_str());
    Open(package);
    const std::wstring files = kwtest::ListFolder(dir_.Path());
    Click({IDC_ADD_ALL, IDC_BUILD, IDC_DEBUG, IDC_START});
    ASSERT_TRUE(PumpUntil([&] { return FileExists(pidFile); }, 20000));
    const DWORD start = GetTickCount();
    window_.reset();
    EXPECT_LT(GetTickCount() - start, 10000u) << "no waiting for the builder to end by itself";
    kw::KernelHandle child(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(ReadBytes(pidFile))));
    EXPECT_TRUE(!child || WaitForSingleObject(child.Get(), 5000) == WAIT_OBJECT_0) << "the builder's child survived";
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), files) << "the run's logs are gone";
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
// errors and opens the file a line names; then a flood of builder text, copied and saved whole.
TEST_F(MainWindowTest, EventLog) {
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

    // F8 onwards from the selection, round the end; Shift+F8 back from the first error to the last.
    Ids visited;
    for (bool shift : {false, false, false, false, false, true, true, false}) {
        BYTE keys[256] = {};
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(log.Handle(), WM_KEYDOWN, VK_F8, 0);
        visited.push_back(static_cast<int>(log.Send(LB_GETCURSEL)));
    }
    EXPECT_EQ(visited, (Ids{1, 3, 5, 6, 1, 6, 5, 6}));
    EXPECT_EQ(view.GoToError(false), 5);
    EXPECT_EQ(prompt_.beeps.size(), 1u);

    // A double click opens the file a line names; a line naming none does nothing.
    auto doubleClick = [&](int index) {
        log.Send(LB_SETCURSEL, static_cast<WPARAM>(index));
        SendMessageW(H(), WM_COMMAND, MAKEWPARAM(IDC_EVENT_LOG, LBN_DBLCLK), reinterpret_cast<LPARAM>(log.Handle()));
    };
    for (int index : {1, 3}) doubleClick(index);
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
        for (int pixel = 0; pixel < 200 * 16; ++pixel) seen.insert(GetPixel(dc, pixel % 200, pixel / 200));
        return seen;
    };
    const std::set<COLORREF> error = colours(1, 0), selected = colours(1, ODS_SELECTED);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    EXPECT_TRUE(error.count(GetSysColor(COLOR_WINDOW)) && error.count(RGB(192, 0, 0)));
    EXPECT_TRUE(selected.count(GetSysColor(COLOR_HIGHLIGHT)) && selected.count(GetSysColor(COLOR_HIGHLIGHTTEXT)));
    EXPECT_EQ(selected.count(RGB(192, 0, 0)), 0u);

    // 100,000 lines of 64 bytes in 2 KB pieces as the runner reads them; then a line of our own.
    constexpr int kLines = 100000, kShown = kLines + 8;
    std::string text;
    for (int i = 0; i < kLines; ++i) {
        text += "     generated line " + std::to_string(1000000000 + i) + " of the flood, padding..........\r\n";
    }
    for (size_t at = 0; at < text.size(); at += 2048) {
        ASSERT_TRUE(kw::PostLogText(text.data() + at, static_cast<std::uint32_t>(std::min<size_t>(2048, text.size() - at)),
                                    false, H(), log.Handle()));
    }
    kw::PostLogLine(L"Summary", H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == kShown + 1; }));
    // Scrolled to the builder's last line; the program's own lines leave the view where it is.
    RECT client;
    GetClientRect(log.Handle(), &client);
    const int perPage = client.bottom / static_cast<int>(log.Send(LB_GETITEMHEIGHT));
    EXPECT_GE(log.TopIndex(), kShown - perPage - 1);
    EXPECT_LE(log.TopIndex(), kShown - 1);
    log.SetTopIndex(0);
    kw::PostLogLine(std::wstring(400, L'w'), H(), log.Handle());
    ASSERT_TRUE(PumpUntil([&] { return log.Count() == kShown + 2; }));
    EXPECT_EQ(log.TopIndex(), 0);
    EXPECT_GT(log.HorizontalExtent(), client.right);

    // Every line, CR LF between them, to the clipboard and (as UTF-8) to a file.
    std::string all;
    for (const auto& line : lines) all += kw::ToUtf8(line.first) + "\r\n";
    all += text + "Summary\r\n" + std::string(400, 'w');
    ASSERT_TRUE(window_->CopyAllLines() && OpenClipboard(H()));
    const bool copiedWhole =
        static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT))) == kw::FromUtf8(all);
    CloseClipboard();
    EXPECT_TRUE(copiedWhole);
    // Cancelled, nothing is written; a read-only file is refused and kept.
    const std::wstring saved = dir_.File(L"event log.log");
    AnswerFiles({L"", saved, saved});
    EXPECT_FALSE(window_->SaveLogAs());
    EXPECT_FALSE(FileExists(saved));
    ASSERT_TRUE(window_->SaveLogAs());
    EXPECT_TRUE(ReadBytes(saved) == "\xEF\xBB\xBF" + all + "\r\n");
    EXPECT_TRUE(prompt_.fileRequests[1].flags & OFN_OVERWRITEPROMPT);
    WriteBytes(saved, "keep");
    SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(window_->SaveLogAs());
    EXPECT_EQ(ReadBytes(saved), "keep");
    EXPECT_EQ(Said().rfind(L"Error: ", 0), 0u);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()).find(L"kwtmp"), std::wstring::npos);
}

// Once this thread's modal "Package Properties" dialog is up, a timer drives it.
int gAdds = 0, gClose = IDOK;
void CALLBACK DriveEditorWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND editor = FindWindowW(nullptr, L"Package Properties");
    if (editor == nullptr) return;
    KillTimer(nullptr, timer);
    for (int i = 0; i < gAdds; ++i) SendMessageW(GetDlgItem(editor, IDC_EDITOR_ADD_PROJECT), BM_CLICK, 0, 0);
    SendMessageW(editor, WM_COMMAND, gClose, 0);
}
void DriveEditor(int adds, int close) {
    gAdds = adds;
    gClose = close;
    SetTimer(nullptr, 0, 20, DriveEditorWhenShown);
}

TEST_F(MainWindowTest, EditorCommandsReloadTheListsHoweverTheEditorCloses) {
    // A cancelled file prompt: no editor, nothing changes.
    Open(FivePackage());
    Click({IDC_ADD_ALL});
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_TARGET_LIST).size(), 5u);

    // Edit, add a project, Cancel: the document keeps the project; the lists reloaded, no targets.
    WriteBytes(dir_.File(L"Extra.vbp"), "Type=Exe\r\n");
    AnswerFiles({dir_.File(L"Extra.vbp")});
    DriveEditor(1, IDCANCEL);
    Click({IDC_EDIT_PACKAGE});
    EXPECT_TRUE(Rows(IDC_TARGET_LIST).empty());
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{7, 2, 5, 9, 4, 10}));

    // A new package: file chosen, two projects added, saved, shown, and a recent package.
    WriteBytes(dir_.File(L"One.dsp"), "# dsp\r\n");
    const std::wstring fresh = dir_.File(L"fresh package.kwp");
    AnswerFiles({fresh, dir_.File(L"One.dsp"), dir_.File(L"Extra.vbp")});
    DriveEditor(2, IDOK);
    Command(IDM_NEW_PACKAGE);
    EXPECT_EQ(Rows(IDC_PACKAGE_LIST), (Ids{1, 2}));
    EXPECT_TRUE(EditShown() && Control(IDC_EDIT_PACKAGE).Enabled());
    EXPECT_TRUE(FileExists(fresh));
    EXPECT_EQ(window_->Recent().Paths(), (Strings{fresh, dir_.File(L"p.kwp")}));
}

TEST_F(MainWindowTest, TheApplicationKeepsTheWholeFirstArgumentAndNeedsATemporaryFolder) {
    std::wstring longPath = L"C:\\" + std::wstring(197, L'x');
    wchar_t* argv[] = {const_cast<wchar_t*>(L"kilnworks.exe"), longPath.data()};
    EXPECT_EQ(kw::Application(2, argv).StartupPackagePath(), longPath);
    EXPECT_EQ(kw::Application(1, argv).StartupPackagePath(), L"");

    wchar_t temp[1024] = {}, tmp[1024] = {};
    GetEnvironmentVariableW(L"TEMP", temp, 1024);
    GetEnvironmentVariableW(L"TMP", tmp, 1024);
    // TEMP wins whenever it is set, even empty; TMP stands in for a missing TEMP; with neither, an end.
    const struct { const wchar_t *temp, *tmp, *folder; } cases[] = {{L"C:\\te mp", L"C:\\tmp", L"C:\\te mp"},
        {L"", L"C:\\tmp", L""}, {nullptr, L"C:\\tmp", L"C:\\tmp"}, {nullptr, nullptr, nullptr}};
    for (const auto& c : cases) {
        SetEnvironmentVariableW(L"TEMP", c.temp);
        SetEnvironmentVariableW(L"TMP", c.tmp);
        kw::Application application;
        EXPECT_EQ(application.FindTemporaryFolder(), c.folder != nullptr);
        EXPECT_EQ(application.TemporaryFolder(), c.folder ? c.folder : L"");
    }
    int result = kw::Application(2, argv).InitInstance();
    SetEnvironmentVariableW(L"TEMP", temp);
    SetEnvironmentVariableW(L"TMP", tmp);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(prompt_.messages.size(), 2u);
    EXPECT_EQ(prompt_.messages[1].owner, nullptr);
    EXPECT_EQ(Said().rfind(L"Error occured.: Theres no folder configured for temporary files", 0), 0u);
}

// kilnworks.exe on its own: a run shows the numbers the last stamped file holds (the script's four,
// then the project file's three, whose revision is the third) and the lines kilnworks-cli shows.
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
        for (int id = IDC_MAJOR; id <= IDC_REVISION; ++id) {
            wchar_t text[20] = {};
            SendMessageW(GetDlgItem(window, id), WM_GETTEXT, 20, reinterpret_cast<LPARAM>(text));
            fields += text + std::wstring(L" ");
        }
    }));
    EXPECT_EQ(fields, L"3 1 10 27 ");

    kwtest::WriteProjects(projects);  // the console starts from the same files
    kwtest::Captured console = kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" run \"" +
                                                   package + L"\" --debug --auto-increment");
    EXPECT_EQ(console.exitCode, 4);
    const std::regex wallTime(", in [^\r]* s\\.\r\n");  // differs from run to run
    EXPECT_EQ(std::regex_replace(shown, wallTime, ".\r\n"), std::regex_replace(console.out, wallTime, ".\r\n"));
}

}  // namespace
