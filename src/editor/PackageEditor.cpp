#include "editor/PackageEditor.h"

#include "resource.h"

namespace kw {

// Placeholder until the editor's dialog exists: it creates nothing and never opens.
PackageEditor::PackageEditor(PackageDocument& document, HWND parent)
    : Dialog(IDD_PACKAGE_EDITOR), document_(document), parent_(parent) {}

int PackageEditor::PromptNewPackageFile() { return -1; }

INT_PTR PackageEditor::Run() { return IDCANCEL; }

}  // namespace kw
