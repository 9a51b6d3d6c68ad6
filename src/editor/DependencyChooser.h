// The small modal dialog of the package editor in which the user ticks the projects that one
// project needs built first, among the package's other projects.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "package/PackageFormat.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace kw {

struct DependencyCandidate {
    int projectId = 0;
    std::wstring name;
    CompilerKind kind = CompilerUnknown;
};

class DependencyChooser : public Dialog {
public:
    // candidates: the other projects in package order; chosen: the ProjectIDs ticked at first.
    DependencyChooser(std::wstring projectName, std::vector<DependencyCandidate> candidates, std::vector<int> chosen);

    // The ProjectIDs ticked when OK was pressed, ascending.
    const std::vector<int>& Chosen() const { return chosen_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    std::wstring projectName_;
    std::vector<DependencyCandidate> candidates_;
    std::vector<int> chosen_;
    ImageListHandle images_;
};

}  // namespace kw
