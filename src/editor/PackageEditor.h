// The modal "Package Properties" dialog: edits the name, version and projects of the package held
// by the main window's PackageDocument, which it uses by reference and never owns.
#pragma once

#include "win/Dialog.h"

#include <windows.h>

namespace kw {

class PackageDocument;

class PackageEditor : public Dialog {
public:
    // parent: the owner of the dialog and of the file prompts it shows.
    PackageEditor(PackageDocument& document, HWND parent);

    // Asks for the file of a new package (a save dialog owned by the parent) and creates an empty
    // package in the document with that path. 0 when a file was chosen and the package created,
    // -1 when the user cancelled. Call before Run.
    int PromptNewPackageFile();

    // Runs the dialog modally over the parent; IDOK after "Save and close" saved, else IDCANCEL.
    INT_PTR Run();

    // (The dialog's members and handlers are the editor's own; see PackageEditor.cpp.)

private:
    PackageDocument& document_;
    HWND parent_;
};

}  // namespace kw
