#include "controls/EmptyAwareListView.h"

#include "resource.h"
#include "win/Controls.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace kw {

bool EmptyAwareListView::Attach(HWND dialog, int id) { return Attach(GetDlgItem(dialog, id)); }

bool EmptyAwareListView::Attach(HWND listView) {
    if (!Subclass(listView)) return false;
    // The project images belong to the window that made them; one list may share them with
    // another, and neither may destroy them when it goes.
    Window(listView).AddStyle(LVS_SHAREIMAGELISTS);
    return true;
}

EmptyAwareListView::Bypass::Bypass(EmptyAwareListView& list) : list_(list), window_(list.Handle()) {
    list_.Unsubclass();
}

EmptyAwareListView::Bypass::~Bypass() {
    if (window_ != nullptr && IsWindow(window_)) list_.Subclass(window_);
}

void EmptyAwareListView::SetHintState(int state) {
    if (state == hintState_) return;
    hintState_ = state;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
}

void EmptyAwareListView::ClearSelection() {
    ListView list(Handle());
    if (!list || list.SelectedCount() == 0) return;
    // One message for every row: a walk row by row costs a message per row of a large package.
    list.SetSelected(-1, false);
}

void EmptyAwareListView::SelectRow(int index) {
    ListView list(Handle());
    if (!list) return;
    ClearSelection();
    list.Focus();
    // Not -1, which would select every row.
    if (index >= 0 && index < list.Count()) list.SetSelected(index, true);
}

void EmptyAwareListView::DeleteAllRows() {
    if (Handle() != nullptr) ListView(Handle()).DeleteAll();
}

LRESULT EmptyAwareListView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN: {
        // The list view runs its own handling first (a left click may even track a drag in
        // there), so the parent sees the selection as it now is.
        LRESULT result = DefaultProc(message, wParam, lParam);
        NotifyUserInput();
        return result;
    }
    case WM_PAINT:
        // Only -1 means the hint; any other state paints the rows.
        if (hintState_ != kHintShown) break;
        PaintHint();
        return 0;
    default:
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

void EmptyAwareListView::NotifyUserInput() {
    Window list(Handle());
    Window parent = list ? list.Parent() : Window();
    if (!parent) return;
    NMHDR header = {};
    header.hwndFrom = list.Handle();
    header.idFrom = static_cast<UINT_PTR>(list.Id());
    header.code = LVN_USERINPUT;
    parent.Send(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void EmptyAwareListView::PaintHint() {
    HWND list = Handle();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(list, &paint);
    if (dc == nullptr) return;

    // The window rectangle in client coordinates, so the text is placed relative to the border.
    RECT area;
    GetWindowRect(list, &area);
    MapWindowPoints(HWND_DESKTOP, list, reinterpret_cast<POINT*>(&area), 2);
    HWND header = ListView(list).Header();
    if (header != nullptr) {
        RECT item = {};
        if (Header_GetItemRect(header, 0, &item)) area.top += item.bottom;
    }
    area.top += 10;
    area.left += 20;

    std::wstring hint = LoadResourceString(IDS_PACKAGE_EMPTY);
    {
        SelectedObject font(dc, GetStockObject(ANSI_VAR_FONT));
        DrawTextW(dc, hint.c_str(), static_cast<int>(hint.size()), &area, DT_WORDBREAK | DT_NOPREFIX);
    }
    EndPaint(list, &paint);
}

ImageListHandle CreateProjectImages() {
    ImageListHandle images(ImageList_Create(16, 16, ILC_COLOR, 3, 4));
    if (!images) return images;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (UINT id : {IDI_PROJECT_UNKNOWN, IDI_PROJECT_VC6, IDI_PROJECT_VB6}) {
        // Icons from LoadIcon are shared and are not destroyed.
        HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(id));
        if (icon == nullptr || ImageList_ReplaceIcon(images.Get(), -1, icon) < 0) return ImageListHandle();
    }
    return images;
}

}  // namespace kw
