// The "Package Properties" dialog, modeless and hidden, driven by messages, with a scripted prompt in
// place of message boxes and file dialogs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <memory>

#include "common/RunSupport.h"
#include "common/ScriptedPrompt.h"
#include "editor/PackageEditor.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Controls.h"

namespace {

using kw::WindowText;
using kwtest::TestProject;
using Lines = std::vector<std::wstring>;

TestProject Project(const wchar_t* id, const std::wstring& name, const wchar_t* compiler) {
    return {id, name, compiler, L"C:\\Src\\" + name};
}

const std::vector<TestProject> kThree = {Project(L"1", L"Calc", L"VC6"), Project(L"2", L"Reports", L"VB6"),
                                         Project(L"3", L"Odd", L"Pascal")};

// The dependency list comes up modal over the editor: a timer finds it, keeps what it shows (its
// title, then each row as "name:1" when ticked or "name:0"), flips the ticks of the given rows and
// presses one of its buttons.
struct ModalScript { HWND owner; std::vector<int> flip; int button; Lines seen; };
ModalScript* gScript = nullptr;

void CALLBACK OnScriptTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND chooser = GetActiveWindow();
    if (!gScript || !gScript->seen.empty() || GetWindow(chooser, GW_OWNER) != gScript->owner) return;
    kw::ListView list(GetDlgItem(chooser, IDC_DEPENDENCIES_LIST));
    gScript->seen = {WindowText(chooser)};
    for (int i = 0; i < list.Count(); ++i)
        gScript->seen.push_back(list.RowText(i) + (ListView_GetCheckState(list.Handle(), i) ? L":1" : L":0"));
    for (int row : gScript->flip)
        ListView_SetCheckState(list.Handle(), row, ListView_GetCheckState(list.Handle(), row) ? FALSE : TRUE);
    SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(gScript->button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, gScript->button)));
}

class PackageEditorTest : public testing::Test {
protected:
    // A fresh document read from a package of these projects, and its editor shown.
    void Open(const std::vector<TestProject>& projects, const std::wstring& version = L"1.4.0.27") {
        kwtest::WritePackage(file_, projects, L"Suite", version);
        editor_.reset();
        document_ = std::make_unique<kw::PackageDocument>();
        ASSERT_EQ(document_->OpenPackage(file_), 0);
        Show(nullptr);
    }
    void Show(HWND owner) {
        if (!editor_) editor_ = std::make_unique<kw::PackageEditor>(*document_, owner);
        dialog_ = editor_->CreateModeless();
        ASSERT_NE(dialog_, nullptr) << "the tests need an X display";
        kwtest::Pump(dialog_);
    }

    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    void Type(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
    void Focus(int id) { SetFocus(Item(id)); kwtest::Pump(dialog_); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); kwtest::Pump(dialog_); }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    void Key(WPARAM key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); kwtest::Pump(dialog_); }
    // A left click on a row, or for -1 on the blank corner, as the list gets it (the button-up queued
    // first ends its drag detection).
    void ClickRow(int row) {
        HWND list = Item(IDC_EDITOR_PROJECTS);
        RECT rect = {};
        GetClientRect(list, &rect);
        LPARAM where = MAKELPARAM(rect.right - 3, rect.bottom - 3);
        if (row >= 0 && ListView_GetItemRect(list, row, &rect, LVIR_LABEL))
            where = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PostMessageW(list, WM_LBUTTONUP, 0, where);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
        kwtest::Pump(dialog_);
    }
    // The project shown; whether the settings pane (ids 1035 to 1049 and "Dependencies...") and
    // "Remove project" are enabled; the kind and Register ticked: "2 pane remove VB6 registered" or
    // "0 - -", "mixed" for a pane only partly enabled.
    std::string Shown() const {
        int enabled = Enabled(IDC_EDITOR_DEPENDENCIES) ? 1 : 0, id = 0;
        for (int i = IDC_EDITOR_PROJECT_LABEL; i <= IDC_EDITOR_RELEASE_LABEL; ++i) enabled += Enabled(i) ? 1 : 0;
        return std::to_string(editor_->SelectedProjectId(id) ? id : 0) +
               (enabled == 16 ? " pane" : enabled == 0 ? " -" : " mixed") +
               (Enabled(IDC_EDITOR_REMOVE_PROJECT) ? " remove" : " -") + (Checked(IDC_EDITOR_VC6) ? " VC6" : "") +
               (Checked(IDC_EDITOR_VB6) ? " VB6" : "") + (Checked(IDC_EDITOR_REGISTER) ? " registered" : "");
    }
    // Clicks "Dependencies..." and has the list handled; what it showed, nothing when none came up.
    Lines ChooseDependencies(const std::vector<int>& flip = {}, int button = IDOK) {
        ModalScript script{dialog_, flip, button, {}};
        gScript = &script;
        UINT_PTR timer = SetTimer(nullptr, 0, 20, OnScriptTimer);
        Click(IDC_EDITOR_DEPENDENCIES);
        KillTimer(nullptr, timer);
        gScript = nullptr;
        return script.seen;
    }
    std::wstring Dependencies(int projectId) {
        std::wstring text;
        return document_->GetProjectDependencyText(projectId, text) == 0 ? text : L"<failed>";
    }
    // Every message shown, as "text|caption|type", marked when the editor does not own it.
    Lines Said() const {
        Lines said;
        for (const auto& m : prompt_.messages)
            said.push_back(m.text + L"|" + m.caption + L"|" + std::to_wstring(m.type) +
                           (m.owner == dialog_ ? L"" : L"|not owned"));
        return said;
    }
    kw::ProjectRecord Settings(int projectId) {
        kw::ProjectRecord record;
        EXPECT_EQ(document_->GetProjectSettings(projectId, record), 0) << projectId;
        return record;
    }
    // Each row as "label/image/item data".
    Lines Rows() const {
        kw::ListView list(Item(IDC_EDITOR_PROJECTS));
        Lines rows;
        for (int i = 0; i < list.Count(); ++i)
            rows.push_back(list.RowText(i) + L"/" + std::to_wstring(list.Image(i)) + L"/" +
                           std::to_wstring(list.ItemData(i)));
        return rows;
    }

    kwtest::ScratchDir dir_{L"editor"};
    std::wstring file_ = dir_.File(L"my suite.kwp");
    kwtest::ScriptedPrompt prompt_;
    kw::ScopedPrompt scope_{prompt_};
    std::unique_ptr<kw::PackageDocument> document_ = std::make_unique<kw::PackageDocument>();
    std::unique_ptr<kw::PackageEditor> editor_;
    HWND dialog_ = nullptr;
};

TEST_F(PackageEditorTest, ARowShowsItsProjectUntilABlankClickOrLeavingForNameVersionOrSaveItsControlsCommit) {
    Open(kThree);
    EXPECT_EQ(Text(IDC_EDITOR_PACKAGE_NAME) + L" " + Text(IDC_EDITOR_MAJOR) + L"." + Text(IDC_EDITOR_MINOR) + L"." +
                  Text(IDC_EDITOR_BUILD) + L"." + Text(IDC_EDITOR_REVISION), L"Suite 1.4.0.27");
    EXPECT_EQ(Rows(), (Lines{L"Calc/1/1", L"Reports/2/2", L"Odd/0/3"}));
    EXPECT_EQ(Shown(), "0 - -");

    ClickRow(0);
    EXPECT_EQ(Shown(), "1 pane remove VC6");
    EXPECT_EQ(Text(IDC_EDITOR_RESOURCE_FILE), L"C:\\Src\\Calc\\Calc.rc");

    // An unknown kind ticks neither button and is stored as Visual Basic once a field is left.
    ClickRow(2);
    EXPECT_EQ(Shown(), "3 pane remove");
    EXPECT_EQ(Settings(3).compilerKind, kw::CompilerUnknown);
    Focus(IDC_EDITOR_DEBUG_CONFIG);
    Focus(IDC_EDITOR_RELEASE_CONFIG);
    EXPECT_EQ(Settings(3).compilerKind, kw::CompilerVB6);

    ClickRow(-1);
    EXPECT_EQ(Shown(), "0 - -");
    EXPECT_EQ(Text(IDC_EDITOR_PROJECT_NAME) + Text(IDC_EDITOR_SOURCE_PATH), L"");

    // Leaving the list for the name, the version or "Save and close" deselects; for other controls
    // the project stays shown.
    const struct { int target; bool keeps; } cases[] = {
        {IDC_EDITOR_PACKAGE_NAME, false},   {IDC_EDITOR_MAJOR, false},       {IDC_EDITOR_REVISION, false},
        {IDOK, false},                      {IDC_EDITOR_SOURCE_PATH, true},  {IDC_EDITOR_ADD_PROJECT, true},
        {IDC_EDITOR_REMOVE_PROJECT, true},  {IDCANCEL, true}};
    for (const auto& c : cases) {
        ClickRow(1);
        ASSERT_EQ(GetFocus(), Item(IDC_EDITOR_PROJECTS));
        Focus(c.target);
        EXPECT_EQ(Shown(), c.keeps ? "2 pane remove VB6" : "0 - -") << c.target;
    }

    // The kind buttons stay exclusive; they, the box and the owned choosers commit at once.
    ClickRow(1);
    Type(IDC_EDITOR_PACKAGE_NAME, L"Typed name");  // typed, not yet saved: no push may undo it
    Click(IDC_EDITOR_VC6);
    EXPECT_EQ(Shown(), "2 pane remove VC6");
    EXPECT_EQ(Settings(2).compilerKind, kw::CompilerVC6);
    Click(IDC_EDITOR_VB6);
    Click(IDC_EDITOR_REGISTER);
    EXPECT_EQ(Shown(), "2 pane remove VB6 registered");
    EXPECT_TRUE(Settings(2).compilerKind == kw::CompilerVB6 && Settings(2).registrable);
    ClickRow(0);
    ClickRow(1);
    EXPECT_EQ(Shown(), "2 pane remove VB6 registered");  // shown back as stored

    // The first choice is cancelled; the open dialog would refuse to open on a name with quotes.
    prompt_.fileAnswers = {L"", L"C:\\Other Folder\\Re'ports.rc"};
    prompt_.folderAnswers = {L"C:\\Source \"Tree\""};
    Click(IDC_EDITOR_CHOOSE_RESOURCE);
    Click(IDC_EDITOR_CHOOSE_RESOURCE);
    Click(IDC_EDITOR_CHOOSE_SOURCE);
    EXPECT_EQ(Settings(2).resourceFile + L"|" + Settings(2).sourceLocation,
              L"C:\\Other Folder\\Re'ports.rc|C:\\Source \"Tree\"");
    EXPECT_EQ(Text(IDC_EDITOR_RESOURCE_FILE) + L"|" + Text(IDC_EDITOR_PACKAGE_NAME),
              L"C:\\Other Folder\\Re'ports.rc|Typed name");
    Type(IDC_EDITOR_RESOURCE_FILE, L"C:\\\"quoted\".rc");
    Click(IDC_EDITOR_CHOOSE_RESOURCE);
    ASSERT_EQ(prompt_.fileRequests.size(), 3u);
    EXPECT_EQ(prompt_.fileRequests[1].initialName + L"|" + prompt_.fileRequests[2].initialName,
              L"C:\\Src\\Reports\\Reports.vbp|");
    EXPECT_TRUE(prompt_.fileRequests[0].owner == dialog_ && prompt_.folderRequests.at(0).owner == dialog_);
}

TEST_F(PackageEditorTest, AddSelectsTheNewProjectByItsNumberAndRemoveAsks) {
    // Numbers out of list order: the result of AddProject (3, the largest number) names no row.
    const std::wstring longName(200, L'n');
    Open({Project(L"3", longName, L"VC6"), Project(L"1", L"Reports", L"VB6")});
    Type(IDC_EDITOR_MAJOR, L"7");
    prompt_.fileAnswers = {L"C:\\Src\\Tools\\Tools.vbp", L"C:\\Src\\notes.txt", L""};
    Click(IDC_EDITOR_ADD_PROJECT);
    EXPECT_EQ(Rows(), (Lines{longName + L"/1/3", L"Reports/2/1", L"Tools/2/4"}));
    EXPECT_EQ(Shown(), "4 pane remove VB6");
    EXPECT_EQ(Text(IDC_EDITOR_PROJECT_NAME) + L"|" + Text(IDC_EDITOR_MAJOR), L"Tools|7");
    Click(IDC_EDITOR_ADD_PROJECT);  // not a project: said once
    Click(IDC_EDITOR_ADD_PROJECT);  // cancelled: nothing happens

    // Remove asks with the name cut to 180 characters; only Yes removes, and the pane is cleared.
    prompt_.messageAnswers = {IDOK, IDNO, IDCANCEL, IDYES};  // the first: adding failed
    for (int i = 0; i < 3; ++i) {
        ClickRow(0);
        Click(IDC_EDITOR_REMOVE_PROJECT);
    }
    const std::wstring asked = L"Do you really want to delete project '" + std::wstring(180, L'n') +
                               L"' from the package ?|Confirmation|35";  // MB_YESNOCANCEL | MB_ICONQUESTION
    EXPECT_EQ(Said(), (Lines{L"Adding the project failed.|Error occured.|0", asked, asked, asked}));  // MB_OK
    EXPECT_EQ(Rows(), (Lines{L"Reports/2/1", L"Tools/2/4"}));
    EXPECT_EQ(Shown(), "0 - -");
    EXPECT_EQ(Text(IDC_EDITOR_PROJECT_NAME), L"");
}

// Typed settings commit to the project shown when another row is clicked or the field is left;
// Escape drops what is staged, Enter saves it, typed and not left too. A save that fails is said
// and the window stays; SavePackage is only tried once SetPackageInfo succeeded, and it commits
// what is staged even when it can't write.
TEST_F(PackageEditorTest, TypedSettingsCommitToTheProjectShownEscapeDropsThemEnterSavesThemOrSaysWhyNot) {
    // result: how the window ended, 0 when it stays with the failure said.
    const struct { const char* what; WPARAM key; const wchar_t* version; bool readOnly; int result; bool committed; }
        cases[] = {{"escape", VK_ESCAPE, L"1.4.0.27", false, IDCANCEL, false},
                   {"enter", VK_RETURN, L"1.4.0.27", false, IDOK, true},
                   {"no CurrentVersion", VK_RETURN, L"", false, 0, false},
                   {"read-only file", VK_RETURN, L"1.4.0.27", true, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open(kThree, c.version);
        if (c.readOnly) SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_READONLY);
        prompt_.messages.clear();
        ClickRow(0);
        Focus(IDC_EDITOR_SOURCE_PATH);
        Type(IDC_EDITOR_SOURCE_PATH, L"D:\\New Calc");
        Type(IDC_EDITOR_PROJECT_NAME, L"Calculator");
        ClickRow(1);
        EXPECT_EQ(Settings(1).sourceLocation + L"|" + Settings(1).name, L"D:\\New Calc|Calculator");
        EXPECT_EQ(Text(IDC_EDITOR_PROJECT_NAME), L"Reports");
        Focus(IDC_EDITOR_RELEASE_CONFIG);
        Focus(IDC_EDITOR_DEBUG_CONFIG);  // leaving a field must not make it the default button
        EXPECT_EQ(SendMessageW(dialog_, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
        // Typed, not left: Escape drops it, also as the field loses the focus when the window goes.
        Type(IDC_EDITOR_DEBUG_CONFIG, L"Typed, not left");
        Type(IDC_EDITOR_REVISION, L"x");
        Key(c.key);
        SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(editor_->Ended() ? editor_->Result() : 0, c.result);
        EXPECT_EQ(Said(), c.result ? Lines{} : Lines{L"Failure while saving the data.|Error occured.|0"});
        const bool saved = kwtest::ReadBytes(file_).find(">1.4.0.x</CurrentVersion>") != std::string::npos;
        EXPECT_EQ(saved, c.result == IDOK);
        document_->DiscardPendingChanges();
        EXPECT_EQ(Settings(1).name, c.committed ? L"Calculator" : L"Calc");
        EXPECT_EQ(Settings(2).debugConfig, c.committed ? L"Typed, not left" : L"Win32 Debug");
    }
}

TEST_F(PackageEditorTest, ANewPackageIsNamedInTheOwnersPromptAndNotWrittenBeforeItIsSaved) {
    HWND owner = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    editor_ = std::make_unique<kw::PackageEditor>(*document_, owner);
    const std::wstring longPath = dir_.File(std::wstring(250, L'p') + L".kwp");
    const std::wstring path = dir_.File(L"new 'suite' #1.kwp");
    prompt_.fileAnswers = {L"", longPath, path};
    EXPECT_TRUE(editor_->PromptNewPackageFile() == -1 && !document_->IsLoaded());  // cancelled
    EXPECT_EQ(editor_->PromptNewPackageFile(), 0);
    EXPECT_EQ(document_->Path(), longPath);  // kept whole
    EXPECT_EQ(editor_->PromptNewPackageFile(), 0);
    EXPECT_TRUE(prompt_.fileRequests[0].owner == owner && (prompt_.fileRequests[0].flags & OFN_OVERWRITEPROMPT));
    EXPECT_FALSE(kwtest::FileExists(path));

    Show(owner);
    EXPECT_EQ(GetWindow(dialog_, GW_OWNER), owner);
    EXPECT_EQ(Text(IDC_EDITOR_PACKAGE_NAME) + L"|" + Text(IDC_EDITOR_MAJOR) + Text(IDC_EDITOR_REVISION),
              L"<insert a name here>|10");
    editor_.reset();
    DestroyWindow(owner);
}

// The dependency list offers the other projects; its choice is staged like any setting. Texts that
// make no sense are named and never saved.
TEST_F(PackageEditorTest, DependenciesAreChosenStagedAndRefusedWhenTheyMakeNoSense) {
    std::vector<TestProject> projects = kThree;
    projects[0].dependencies = L"2";
    projects[1].dependencies = L" 1 ";
    projects[2].dependencies = L"x";
    Open(projects);
    const std::string before = kwtest::ReadBytes(file_);

    // The list's Cancel changes nothing; its OK stages the ticks; the editor's Cancel forgets them.
    ClickRow(1);
    EXPECT_EQ(ChooseDependencies({1}, IDCANCEL), (Lines{L"Dependencies of 'Reports'", L"Calc:1", L"Odd:0"}));
    EXPECT_EQ(Dependencies(2), L" 1 ");
    ChooseDependencies({1});
    EXPECT_EQ(Dependencies(2), L"1,3");
    Click(IDCANCEL);
    EXPECT_EQ(Dependencies(2), L" 1 ");

    // The unreadable text is named before the list replaces it, and by "Save and close"; chosen
    // again with nothing ticked, it is none.
    Open(projects);
    ClickRow(2);
    EXPECT_EQ(ChooseDependencies({}, IDCANCEL), (Lines{L"Dependencies of 'Odd'", L"Calc:0", L"Reports:0"}));
    Click(IDOK);
    ChooseDependencies();
    EXPECT_EQ(Dependencies(3), L"");

    // A circle keeps the dialog open and the file as it was; broken, it saves.
    Click(IDOK);
    const std::wstring odd = L"Project 'Odd' lists its dependencies as 'x', which is not a list of project numbers "
                             L"separated by commas.|Error occured.|0";
    EXPECT_EQ(Said(), (Lines{odd, odd, odd,
                             L"Projects depend on each other in a circle: Calc -> Reports -> Calc.|Error occured.|0"}));
    EXPECT_FALSE(editor_->Ended());
    EXPECT_EQ(kwtest::ReadBytes(file_), before);
    ClickRow(1);
    ChooseDependencies({0, 1});
    Click(IDOK);
    ASSERT_TRUE(editor_->Ended());
    EXPECT_EQ(Dependencies(2), L"3");
}

}  // namespace
