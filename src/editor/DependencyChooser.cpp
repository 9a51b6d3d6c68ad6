#include "editor/DependencyChooser.h"

#include <commctrl.h>

#include <algorithm>

#include "controls/EmptyAwareListView.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Text.h"

namespace kw {

namespace {

std::wstring WithName(UINT format, const std::wstring& name) {
    std::wstring text = LoadResourceString(format);
    size_t slot = text.find(L"%s");
    if (slot != std::wstring::npos) text.replace(slot, 2, name);
    return text;
}

}  // namespace

DependencyChooser::DependencyChooser(std::wstring projectName, std::vector<DependencyCandidate> candidates,
                                     std::vector<int> chosen)
    : Dialog(IDD_DEPENDENCIES),
      projectName_(std::move(projectName)),
      candidates_(std::move(candidates)),
      chosen_(std::move(chosen)) {}

bool DependencyChooser::OnInitDialog() {
    SetWindowTextW(Handle(), WithName(IDS_DEPENDENCIES_TITLE, projectName_).c_str());
    Window(Handle(), IDC_DEPENDENCIES_NOTE)
        .SetText(candidates_.empty() ? LoadResourceString(IDS_DEPENDENCIES_NONE)
                                     : WithName(IDS_DEPENDENCIES_NOTE, projectName_));

    ListView list(Item(IDC_DEPENDENCIES_LIST));
    list.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
              LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    images_ = CreateProjectImages();
    list.SetImageList(images_.Get(), LVSIL_SMALL);
    RECT client = {};
    GetClientRect(list.Handle(), &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    list.Send(LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    for (const DependencyCandidate& candidate : candidates_) {
        int row = list.InsertRow(candidate.name, candidate.kind, candidate.projectId);
        bool ticked = std::find(chosen_.begin(), chosen_.end(), candidate.projectId) != chosen_.end();
        if (row >= 0) ListView_SetCheckState(list.Handle(), row, ticked ? TRUE : FALSE);
    }
    if (list.Count() > 0) {
        list.SetSelected(0, true);
        ListView_SetItemState(list.Handle(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    // The focus on the list: Space ticks the row at hand, Enter is OK.
    SetFocus(list.Handle());
    return false;
}

bool DependencyChooser::OnCommand(int id, int code, HWND control) {
    if (id != IDOK) return false;
    ListView list(Item(IDC_DEPENDENCIES_LIST));
    chosen_.clear();
    for (int row = 0; row < list.Count(); ++row)
        if (ListView_GetCheckState(list.Handle(), row)) chosen_.push_back(static_cast<int>(list.ItemData(row)));
    std::sort(chosen_.begin(), chosen_.end());
    End(IDOK);
    return true;
}

}  // namespace kw
