#include "editor/PackageEditor.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "editor/DependencyChooser.h"
#include "package/Dependencies.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

namespace kw {

namespace {

// Room for a chosen file name, terminator included.
constexpr DWORD kFileBufferChars = 512;
// The removal question shows at most this much of the project's name, and is itself capped.
constexpr size_t kQuestionNameChars = 180;
constexpr size_t kQuestionChars = 255;

const int kVersionFields[4] = {IDC_EDITOR_MAJOR, IDC_EDITOR_MINOR, IDC_EDITOR_BUILD, IDC_EDITOR_REVISION};

const int kNotifyingFields[5] = {IDC_EDITOR_PROJECT_NAME, IDC_EDITOR_SOURCE_PATH, IDC_EDITOR_RESOURCE_FILE,
                                 IDC_EDITOR_DEBUG_CONFIG, IDC_EDITOR_RELEASE_CONFIG};

// The settings pane: enabled exactly while a project is shown.
const int kPaneControls[15] = {
    IDC_EDITOR_VB6,           IDC_EDITOR_VC6,          IDC_EDITOR_REGISTER,        IDC_EDITOR_PROJECT_NAME,
    IDC_EDITOR_SOURCE_PATH,   IDC_EDITOR_RESOURCE_FILE, IDC_EDITOR_DEBUG_CONFIG,   IDC_EDITOR_RELEASE_CONFIG,
    IDC_EDITOR_PROJECT_LABEL, IDC_EDITOR_SOURCE_LABEL, IDC_EDITOR_RESOURCE_LABEL,  IDC_EDITOR_DEBUG_LABEL,
    IDC_EDITOR_RELEASE_LABEL, IDC_EDITOR_CHOOSE_RESOURCE, IDC_EDITOR_CHOOSE_SOURCE};

// Texts that come from the string table rather than from the template.
const struct {
    int control;
    UINT text;
} kTableTexts[] = {
    {IDOK, IDS_SAVE_AND_CLOSE},
    {IDCANCEL, IDS_CANCEL},
    {IDC_EDITOR_SETTINGS_GROUP, IDS_PROJECT_SETTINGS},
    {IDC_EDITOR_PROJECT_LABEL, IDS_PROJECT_NAME},
    {IDC_EDITOR_SOURCE_LABEL, IDS_SOURCE_PATH},
    {IDC_EDITOR_REGISTER, IDS_REGISTER_AFTER_BUILD},
    {IDC_EDITOR_DEBUG_LABEL, IDS_DEBUG_CONFIGURATION},
    {IDC_EDITOR_RELEASE_LABEL, IDS_RELEASE_CONFIGURATION},
    {IDC_EDITOR_ADD_PROJECT, IDS_ADD_PROJECT},
    {IDC_EDITOR_REMOVE_PROJECT, IDS_REMOVE_PROJECT},
};

// Moving the focus from the project list to one of these ends the project's selection.
bool EndsSelection(int id) {
    return id == IDC_EDITOR_PACKAGE_NAME || id == IDC_EDITOR_MAJOR || id == IDC_EDITOR_MINOR ||
           id == IDC_EDITOR_BUILD || id == IDC_EDITOR_REVISION || id == IDOK;
}

// The open dialog does not open at all on an initial name it can't take (a quote, a wildcard):
// the user would click "..." and see nothing. Such a name is not offered.
bool UsableAsInitialName(const std::wstring& name) {
    if (name.size() >= kFileBufferChars) return false;
    for (wchar_t c : name)
        if (c < L' ' || std::wstring_view(L"<>\"|*?").find(c) != std::wstring_view::npos) return false;
    return true;
}

}  // namespace

PackageEditor::PackageEditor(PackageDocument& document, HWND parent)
    : Dialog(IDD_PACKAGE_EDITOR), document_(document), parent_(parent) {}

int PackageEditor::PromptNewPackageFile() {
    FileRequest request;
    // Owned by the main window, so the user can't reach it while the prompt is up.
    request.owner = parent_;
    request.save = true;
    request.title = LoadResourceString(IDS_NEW_PACKAGE_TITLE);
    request.filters = {{LoadResourceString(IDS_FILTER_PACKAGE), L"*.kwp"}};
    request.defaultExtension = L"kwp";
    request.flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    request.bufferChars = kFileBufferChars;
    std::wstring path;
    if (!CurrentPrompt().ChooseFile(request, path) || path.empty()) return -1;
    document_.CreatePackage(LoadResourceString(IDS_NEW_PACKAGE_NAME));
    // Kept whole: the first save creates the file under exactly this name.
    document_.SetPath(path);
    return 0;
}

INT_PTR PackageEditor::Run() { return RunModal(parent_) == IDOK ? IDOK : IDCANCEL; }

HWND PackageEditor::CreateModeless() { return Create(parent_); }

bool PackageEditor::SelectedProjectId(int& projectId) const {
    ListView list(Item(IDC_EDITOR_PROJECTS));
    if (!list || list.Count() == 0 || list.SelectedCount() == 0) return false;
    int row = list.NextSelected();
    if (row < 0) return false;
    projectId = static_cast<int>(list.ItemData(row));
    return true;
}

bool PackageEditor::OnInitDialog() {
    SetWindowTextW(Handle(), LoadResourceString(IDS_EDITOR_TITLE).c_str());
    for (const auto& entry : kTableTexts) Window(Handle(), entry.control).SetText(LoadResourceString(entry.text));

    document_.GetPackageInfo(packageName_, versionParts_[0], versionParts_[1], versionParts_[2], versionParts_[3]);

    projects_.Attach(Handle(), IDC_EDITOR_PROJECTS);
    projectImages_ = CreateProjectImages();
    ListView(Item(IDC_EDITOR_PROJECTS)).SetImageList(projectImages_.Get(), LVSIL_SMALL);
    FillProjectList();

    Window(Handle(), IDC_EDITOR_REMOVE_PROJECT).Enable(false);
    for (int i = 0; i < 5; ++i) {
        fields_[i].Attach(Handle(), kNotifyingFields[i]);
        fields_[i].SetOwner(Handle());
    }
    // The controls are still empty here: nothing typed to keep.
    WriteControls();
    return true;
}

void PackageEditor::ExchangeControls(Exchange direction) {
    ExchangeText(direction, IDC_EDITOR_PACKAGE_NAME, packageName_);
    for (int i = 0; i < 4; ++i) ExchangeText(direction, kVersionFields[i], versionParts_[i]);
    // The radio buttons' values are 0 for checked and -1 (or any other value) for unchecked.
    for (auto [id, choice] : {std::pair<int, int*>{IDC_EDITOR_VB6, &vbChoice_}, {IDC_EDITOR_VC6, &vcChoice_}}) {
        int checked = *choice == 0 ? 1 : 0;
        ExchangeCheck(direction, id, checked);
        if (direction == Exchange::Read) *choice = checked ? 0 : -1;
    }
    ExchangeText(direction, IDC_EDITOR_SOURCE_PATH, sourcePath_);
    ExchangeText(direction, IDC_EDITOR_RESOURCE_FILE, resourceFile_);
    ExchangeText(direction, IDC_EDITOR_DEBUG_CONFIG, debugConfig_);
    ExchangeText(direction, IDC_EDITOR_RELEASE_CONFIG, releaseConfig_);
    ExchangeCheck(direction, IDC_EDITOR_REGISTER, registerAfterBuild_);
}

void PackageEditor::PushValues() {
    // Name and version reach the values only on demand; take what was typed there first, or the
    // write below would put the old text back.
    ExchangeText(Exchange::Read, IDC_EDITOR_PACKAGE_NAME, packageName_);
    for (int i = 0; i < 4; ++i) ExchangeText(Exchange::Read, kVersionFields[i], versionParts_[i]);
    WriteControls();
}

void PackageEditor::SetNotifyOnLeave(bool notify) {
    for (NotifyingEdit& field : fields_) field.SetNotifyOnLeave(notify);
}

void PackageEditor::FillProjectList() {
    ListView list(Item(IDC_EDITOR_PROJECTS));
    projects_.DeleteAllRows();
    std::vector<ProjectRow> rows;
    bool complete = true;
    document_.ListProjectRows(rows, complete);
    int index = 0;
    for (const ProjectRow& row : rows) list.InsertRow(row.name, row.kind, row.projectId, index++);
}

void PackageEditor::ShowSelectedProject() {
    int projectId = 0;
    bool selected = SelectedProjectId(projectId);
    // Before anything is disabled: a field losing the focus must not commit into another project.
    if (!selected) SetNotifyOnLeave(false);
    projectShown_ = false;
    for (int id : kPaneControls) Window(Handle(), id).Enable(selected);

    vbChoice_ = 1;
    vcChoice_ = 1;
    registerAfterBuild_ = 0;
    std::wstring projectName;
    ProjectRecord record;
    if (selected && document_.GetProjectSettings(projectId, record) == 0) {
        if (record.compilerKind == CompilerVC6) vcChoice_ = 0;
        if (record.compilerKind == CompilerVB6) vbChoice_ = 0;
        projectName = record.name;
        registerAfterBuild_ = record.registrable ? 1 : 0;
    } else {
        // Unread or none: nothing of an earlier project may stay on show and be committed here.
        record = ProjectRecord();
    }
    sourcePath_ = record.sourceLocation;
    resourceFile_ = record.resourceFile;
    debugConfig_ = record.debugConfig;
    releaseConfig_ = record.releaseConfig;
    Window(Handle(), IDC_EDITOR_PROJECT_NAME).SetText(projectName);
    Window(Handle(), IDC_EDITOR_REMOVE_PROJECT).Enable(selected);
    Window(Handle(), IDC_EDITOR_DEPENDENCIES).Enable(selected);
    PushValues();
    projectShown_ = selected;
    shownProjectId_ = selected ? projectId : 0;
    if (selected) SetNotifyOnLeave(true);
}

void PackageEditor::CommitSelectedProject() {
    ReadControls();
    // The list may already select another row when a field reports that it was left (the list
    // view under Wine moves its selection before it takes the focus): the pane's values belong
    // to the project they were read from.
    if (!projectShown_) return;
    ProjectRecord record;
    record.name = Window(Handle(), IDC_EDITOR_PROJECT_NAME).Text();
    // An unrecognised kind is stored as Visual Basic once anything of the project is committed.
    record.compilerKind = vcChoice_ == 0 ? CompilerVC6 : CompilerVB6;
    record.sourceLocation = sourcePath_;
    record.debugConfig = debugConfig_;
    record.releaseConfig = releaseConfig_;
    record.resourceFile = resourceFile_;
    record.registrable = registerAfterBuild_ != 0;
    document_.SetProjectSettings(shownProjectId_, record);
}

void PackageEditor::ApplyFocusRule() {
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != Handle()) return;
    if (!EndsSelection(GetDlgCtrlID(focus))) return;
    projects_.ClearSelection();
    ShowSelectedProject();
}

bool PackageEditor::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDOK:
        OnSaveAndClose();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        break;
    }
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_EDITOR_ADD_PROJECT: OnAddProject(); return true;
    case IDC_EDITOR_REMOVE_PROJECT: OnRemoveProject(); return true;
    case IDC_EDITOR_DEPENDENCIES: OnChooseDependencies(); return true;
    case IDC_EDITOR_CHOOSE_RESOURCE: OnChooseResourceFile(); return true;
    case IDC_EDITOR_CHOOSE_SOURCE: OnChooseSourceFolder(); return true;
    case IDC_EDITOR_VB6: OnChooseKind(true); return true;
    case IDC_EDITOR_VC6: OnChooseKind(false); return true;
    case IDC_EDITOR_REGISTER: CommitSelectedProject(); return true;
    default: return false;
    }
}

bool PackageEditor::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (id != IDC_EDITOR_PROJECTS) return false;
    result = 0;
    if (header->code == LVN_USERINPUT) {
        ShowSelectedProject();
        return true;
    }
    if (header->code == static_cast<UINT>(NM_KILLFOCUS)) {
        ApplyFocusRule();
        return true;
    }
    return false;
}

bool PackageEditor::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != WM_EDIT_LEFT) return false;
    // Answered here: left to the dialog manager it would read as DM_SETDEFID and make the field
    // the default button, and Enter would no longer mean "Save and close".
    CommitSelectedProject();
    result = 0;
    return true;
}

bool PackageEditor::ChooseFile(const std::wstring& title,
                               const std::vector<std::pair<std::wstring, std::wstring>>& filters,
                               const std::wstring& initialName, std::wstring& path) {
    FileRequest request;
    request.owner = Handle();
    request.title = title;
    request.filters = filters;
    if (UsableAsInitialName(initialName)) request.initialName = initialName;
    request.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    request.bufferChars = kFileBufferChars;
    bool chosen = CurrentPrompt().ChooseFile(request, path) && !path.empty();
    PushValues();
    return chosen;
}

void PackageEditor::OnChooseResourceFile() {
    ReadControls();
    std::wstring path;
    if (!ChooseFile(LoadResourceString(IDS_SELECT_RESOURCE_FILE),
                    {{LoadResourceString(IDS_FILTER_RESOURCE_FILES), L"*.rc"},
                     {LoadResourceString(IDS_FILTER_ALL_FILES), L"*.*"}},
                    resourceFile_, path))
        return;
    resourceFile_ = path;
    PushValues();
    CommitSelectedProject();
}

void PackageEditor::OnChooseSourceFolder() {
    ReadControls();
    FolderRequest request;
    // Owned by the editor, so the dialogs behind it stay out of reach while it is open.
    request.owner = Handle();
    request.title = LoadResourceString(IDS_SELECT_SOURCE_PATH);
    request.flags = BIF_RETURNONLYFSDIRS;
    std::wstring path;
    if (!CurrentPrompt().ChooseFolder(request, path) || path.empty()) return;
    sourcePath_ = path;
    PushValues();
    CommitSelectedProject();
}

void PackageEditor::OnChooseKind(bool visualBasic) {
    ReadControls();
    // The two buttons are not one group: keep them exclusive here.
    vbChoice_ = visualBasic ? 0 : 1;
    vcChoice_ = visualBasic ? 1 : 0;
    PushValues();
    CommitSelectedProject();
}

void PackageEditor::OnAddProject() {
    // Keeps package-level text typed but not yet saved: the pushes below would overwrite it.
    ReadControls();
    std::wstring path;
    if (!ChooseFile(LoadResourceString(IDS_ADD_PROJECT),
                    {{LoadResourceString(IDS_FILTER_DSW), L"*.dsw"},
                     {LoadResourceString(IDS_FILTER_DSP), L"*.dsp"},
                     {LoadResourceString(IDS_FILTER_VBP), L"*.vbp"}},
                    std::wstring(), path))
        return;
    int last = document_.AddProject(path);
    if (last < 0) {
        const std::string& diagnostic = document_.AddProjectDiagnostic();
        if (!diagnostic.empty()) {
            std::fputs(diagnostic.c_str(), stdout);
            std::fflush(stdout);
        }
        CurrentPrompt().Message(Handle(), LoadResourceString(IDS_ERR_ADD_PROJECT),
                                LoadResourceString(IDS_ERROR_OCCURED), MB_OK);
        return;
    }
    FillProjectList();
    // The new project is the last one listed with the next number: found by its ProjectID, not
    // by taking the number as a row index, which names another row as soon as IDs have gaps.
    ListView list(Item(IDC_EDITOR_PROJECTS));
    int row = list.Count() - 1;
    while (row >= 0 && list.ItemData(row) != static_cast<LPARAM>(last) + 1) --row;
    projects_.SelectRow(row);
    ShowSelectedProject();
}

void PackageEditor::OnRemoveProject() {
    ReadControls();
    int projectId = 0;
    if (!SelectedProjectId(projectId)) return;
    std::wstring name = Prefix(Window(Handle(), IDC_EDITOR_PROJECT_NAME).Text(), kQuestionNameChars);
    std::wstring question = LoadResourceString(IDS_CONFIRM_REMOVE);
    size_t slot = question.find(L"%s");
    if (slot != std::wstring::npos) question.replace(slot, 2, name);
    question = Prefix(question, kQuestionChars);
    int answer = CurrentPrompt().Message(Handle(), question, LoadResourceString(IDS_CONFIRMATION),
                                         MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer != IDYES) return;
    document_.RemoveProject(projectId);
    FillProjectList();
    // Nothing is selected now: the pane must not go on showing (and committing) the removed one.
    ShowSelectedProject();
    HWND focus = GetFocus();
    if (focus == nullptr || !IsWindowEnabled(focus)) {
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_EDITOR_PROJECTS)), TRUE);
    }
}

void PackageEditor::OnChooseDependencies() {
    ReadControls();
    if (!projectShown_) return;
    const int projectId = shownProjectId_;
    const std::wstring projectName = Window(Handle(), IDC_EDITOR_PROJECT_NAME).Text();

    std::vector<DependencyCandidate> candidates;
    std::vector<int> listed;
    std::vector<ProjectRow> rows;
    bool complete = true;
    document_.ListProjectRows(rows, complete);
    for (const ProjectRow& row : rows) {
        // Only the first project with a number can be meant by it.
        if (row.projectId == projectId || std::find(listed.begin(), listed.end(), row.projectId) != listed.end())
            continue;
        listed.push_back(row.projectId);
        candidates.push_back(DependencyCandidate{row.projectId, row.name, row.kind});
    }

    std::wstring text;
    std::vector<int> chosen;
    document_.GetProjectDependencyText(projectId, text);
    if (!ParseDependencies(text, chosen)) {
        // Said once, before the list replaces the text with what is ticked in it.
        CurrentPrompt().Message(Handle(), UnreadableDependenciesText(projectName, text),
                                LoadResourceString(IDS_ERROR_OCCURED), MB_OK);
    }
    DependencyChooser chooser(projectName, std::move(candidates), chosen);
    if (chooser.RunModal(Handle()) != IDOK) return;
    // Staged like the other settings: saved with the package, forgotten by Cancel.
    document_.SetProjectDependencies(projectId, chooser.Chosen());
}

void PackageEditor::OnSaveAndClose() {
    ReadControls();
    // Enter in a settings field saves without the field being left: commit what it holds first.
    CommitSelectedProject();
    // What a run would refuse is not saved either.
    std::vector<ProjectDependencies> dependencies;
    DependencyGraph graph;
    if (document_.GetDependencies(dependencies) == 0) {
        std::wstring refusal = CheckDependencies(dependencies, graph);
        if (!refusal.empty()) {
            CurrentPrompt().Message(Handle(), refusal, LoadResourceString(IDS_ERROR_OCCURED), MB_OK);
            return;
        }
    }
    int result = document_.SetPackageInfo(packageName_, versionParts_[0], versionParts_[1], versionParts_[2],
                                          versionParts_[3]);
    if (result == 0) result = document_.SavePackage();
    if (result != 0) {
        CurrentPrompt().Message(Handle(), LoadResourceString(IDS_ERR_SAVING), LoadResourceString(IDS_ERROR_OCCURED),
                                MB_OK);
        return;
    }
    // The closing window takes the focus from its fields: that must not stage anything anew.
    SetNotifyOnLeave(false);
    End(IDOK);
}

void PackageEditor::OnCancel() {
    SetNotifyOnLeave(false);
    document_.DiscardPendingChanges();
    End(IDCANCEL);
}

}  // namespace kw
