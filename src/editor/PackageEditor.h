// The modal "Package Properties" dialog: edits the name, version and projects of the package held
// by the main window's PackageDocument, which it uses by reference and never owns.
//
// Project settings go to the document field by field (staged until "Save and close" saves the
// package, dropped by Cancel); the package name and version only on "Save and close". Adding
// and removing a project changes the document at once, and Cancel does not undo it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/EmptyAwareListView.h"
#include "editor/NotifyingEdit.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace kw {

class PackageDocument;

class PackageEditor : public Dialog {
public:
    // parent: the owner of the dialog and of the file prompts it shows.
    PackageEditor(PackageDocument& document, HWND parent);

    // Asks for the file of a new package (a save dialog owned by the parent) and creates an empty
    // package in the document with that path. 0 when a file was chosen and the package created,
    // -1 when the user cancelled. Call before Run. Nothing is written to disk until the editor
    // saves.
    int PromptNewPackageFile();

    // Runs the dialog modally over the parent; IDOK after "Save and close" saved, else IDCANCEL.
    INT_PTR Run();
    // The same dialog modeless and hidden, for owners that pump their own messages (tests,
    // previews). Destroyed by "Save and close", Cancel or the destructor.
    HWND CreateModeless();

    // The ProjectID of the project shown in the settings pane; false when none is selected.
    bool SelectedProjectId(int& projectId) const;

protected:
    bool OnInitDialog() override;
    void ExchangeControls(Exchange direction) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void FillProjectList();
    void ShowSelectedProject();
    void CommitSelectedProject();
    void ApplyFocusRule();
    // Writes the values into the controls, keeping what was typed into the package-level fields.
    void PushValues();
    void SetNotifyOnLeave(bool notify);
    // The open-file dialog, owned by the editor; true with the full path when one was chosen.
    bool ChooseFile(const std::wstring& title, const std::vector<std::pair<std::wstring, std::wstring>>& filters,
                    const std::wstring& initialName, std::wstring& path);

    void OnChooseResourceFile();
    void OnChooseSourceFolder();
    void OnChooseKind(bool visualBasic);
    void OnAddProject();
    void OnRemoveProject();
    void OnChooseDependencies();
    void OnSaveAndClose();
    void OnCancel();

    PackageDocument& document_;
    HWND parent_;

    std::wstring packageName_;
    std::wstring versionParts_[4];
    int vbChoice_ = -1;  // 0 = checked, anything else = unchecked
    int vcChoice_ = -1;
    std::wstring sourcePath_;
    std::wstring resourceFile_;
    std::wstring debugConfig_;
    std::wstring releaseConfig_;
    int registerAfterBuild_ = 0;
    // The project whose settings the pane holds; commits go there, whatever the list selects by
    // the time a field reports that it was left.
    bool projectShown_ = false;
    int shownProjectId_ = 0;

    ImageListHandle projectImages_;
    EmptyAwareListView projects_;
    // Project name, source path, resource file, debug and release configuration.
    NotifyingEdit fields_[5];
};

}  // namespace kw
