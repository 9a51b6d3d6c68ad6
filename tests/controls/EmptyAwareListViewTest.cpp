// The project list: LVN_USERINPUT after user input only, the two selection operations, the hint
// painting and the project images.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "controls/ControlsTestSupport.h"
#include "controls/EmptyAwareListView.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace {

using kw::EmptyAwareListView;
using kwtest::Pump;

constexpr int kIconList = 1002;
constexpr int kReportList = 1007;

const DLGTEMPLATE* HostTemplate() {
    static kwtest::DialogTemplate* layout = [] {
        auto* t = new kwtest::DialogTemplate(L"List host", 280, 130);
        t->Add(WC_LISTVIEWW, L"", kIconList, WS_BORDER | WS_TABSTOP | LVS_SMALLICON | LVS_SHOWSELALWAYS, 10, 10,
               120, 81);
        t->Add(WC_LISTVIEWW, L"", kReportList, WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 140, 10,
               120, 81);
        t->Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_PUSHBUTTON, 10, 100, 50, 14);
        return t;
    }();
    return layout->Get();
}

// What the parent saw in one LVN_USERINPUT.
struct UserInput {
    WPARAM wParam;
    UINT_PTR idFrom;
    HWND from;
    int selectedCount;
    int firstSelected;
};

class ListHost : public kw::Dialog {
public:
    ListHost() : Dialog(HostTemplate()) {}

    EmptyAwareListView icons;
    EmptyAwareListView report;
    std::vector<UserInput> inputs;
    int otherNotifications = 0;

protected:
    bool OnInitDialog() override {
        icons.Attach(Handle(), kIconList);
        report.Attach(Handle(), kReportList);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 120;
        column.pszText = const_cast<wchar_t*>(L"Project");
        ListView_InsertColumn(report.Handle(), 0, &column);
        return true;
    }

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message != WM_NOTIFY) return false;
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code != kw::LVN_USERINPUT) {
            ++otherNotifications;
            return false;
        }
        HWND list = header->hwndFrom;
        inputs.push_back({wParam, header->idFrom, list, ListView_GetSelectedCount(list),
                          ListView_GetNextItem(list, -1, LVNI_SELECTED)});
        return true;
    }
};

void AddRows(HWND list, int count) {
    for (int i = 0; i < count; ++i) {
        std::wstring name = L"Project " + std::to_wstring(i + 1);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = name.data();
        item.iImage = i % 3;
        item.lParam = i + 1;
        ListView_InsertItem(list, &item);
    }
}

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        rows.push_back(i);
    return rows;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

LPARAM CentreOfRow(HWND list, int row) {
    RECT rect = {};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    return Point((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

class EmptyAwareListViewTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host_.Create(nullptr), nullptr) << "the tests need an X display";
        list_ = host_.icons.Handle();
        AddRows(list_, 3);
        Pump(host_.Handle());
    }

    // A left click as the list gets it; the button-up is queued first so that the list's own
    // drag detection ends at once.
    void LeftClick(LPARAM where) {
        PostMessageW(list_, WM_LBUTTONUP, 0, where);
        SendMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, where);
        Pump(host_.Handle());
    }

    ListHost host_;
    HWND list_ = nullptr;
};

// ---- LVN_USERINPUT --------------------------------------------------------------------------

TEST_F(EmptyAwareListViewTest, EachKeyPressTellsTheParentOnceAfterTheListHandledIt) {
    host_.icons.SelectRow(0);
    ListView_SetItemState(list_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    host_.inputs.clear();

    SendMessageW(list_, WM_KEYDOWN, VK_END, 0);
    ASSERT_EQ(host_.inputs.size(), 1u);
    const UserInput& input = host_.inputs[0];
    EXPECT_EQ(input.wParam, static_cast<WPARAM>(kIconList));
    EXPECT_EQ(input.idFrom, static_cast<UINT_PTR>(kIconList));
    EXPECT_EQ(input.from, list_);
    // The list had already moved the selection when the parent was told.
    EXPECT_EQ(input.selectedCount, 1);
    EXPECT_EQ(input.firstSelected, 2);

    // Keys that change nothing are reported all the same, one notification each.
    for (WPARAM key : {VK_HOME, VK_HOME, VK_SHIFT, VK_F5}) SendMessageW(list_, WM_KEYDOWN, key, 0);
    EXPECT_EQ(host_.inputs.size(), 5u);
    EXPECT_EQ(host_.inputs.back().firstSelected, 0);
}

TEST_F(EmptyAwareListViewTest, KeysTheDialogKeepsProduceNoNotification) {
    SetFocus(list_);
    Pump(host_.Handle());
    host_.inputs.clear();
    PostMessageW(list_, WM_KEYDOWN, VK_TAB, 0);
    Pump(host_.Handle());
    EXPECT_TRUE(host_.inputs.empty());
    EXPECT_NE(GetFocus(), list_);

    // A key the list wants goes through the same pump and is reported.
    SetFocus(list_);
    PostMessageW(list_, WM_KEYDOWN, VK_DOWN, 0);
    Pump(host_.Handle());
    EXPECT_EQ(host_.inputs.size(), 1u);
}

TEST_F(EmptyAwareListViewTest, EachLeftClickTellsTheParentOnceWithTheNewSelection) {
    RECT client;
    GetClientRect(list_, &client);
    struct Case {
        const char* where;
        LPARAM point;
        int selectedCount;
        int firstSelected;
    } cases[] = {
        {"on a row", CentreOfRow(list_, 2), 1, 2},
        {"on blank space", Point(client.right - 3, client.bottom - 3), 0, -1},
    };
    for (const Case& c : cases) {
        host_.icons.SelectRow(1);
        host_.inputs.clear();
        LeftClick(c.point);
        ASSERT_EQ(host_.inputs.size(), 1u) << c.where;
        EXPECT_EQ(host_.inputs[0].selectedCount, c.selectedCount) << c.where;
        EXPECT_EQ(host_.inputs[0].firstSelected, c.firstSelected) << c.where;
    }
}

TEST_F(EmptyAwareListViewTest, RightClicksAndProgrammaticSelectionProduceNoNotification) {
    LPARAM row = CentreOfRow(list_, 1);
    PostMessageW(list_, WM_RBUTTONUP, 0, row);
    SendMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, row);
    Pump(host_.Handle());
    host_.icons.SelectRow(2);
    ListView_SetItemState(list_, 0, LVIS_SELECTED, LVIS_SELECTED);
    host_.icons.ClearSelection();
    SendMessageW(list_, WM_MOUSEMOVE, 0, row);
    SendMessageW(list_, WM_CHAR, L'a', 0);
    Pump(host_.Handle());
    EXPECT_TRUE(host_.inputs.empty());
    // The list's own notifications still reach the parent.
    EXPECT_GT(host_.otherNotifications, 0);
}

// ---- SelectRow and ClearSelection ------------------------------------------------------------

TEST_F(EmptyAwareListViewTest, SelectRowSelectsOnlyThatRowAndFocusesTheList) {
    ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, 1, LVIS_SELECTED, LVIS_SELECTED);
    SetFocus(GetDlgItem(host_.Handle(), IDOK));

    host_.icons.SelectRow(2);
    EXPECT_EQ(SelectedRows(list_), std::vector<int>{2});
    EXPECT_EQ(GetFocus(), list_);
    // Only the selected state was written: the focused row stays where it was.
    EXPECT_EQ(ListView_GetNextItem(list_, -1, LVNI_FOCUSED), 0);

    // An index past either end leaves nothing selected, and the list still gets the focus.
    for (int index : {3, -1}) {
        ListView_SetItemState(list_, 1, LVIS_SELECTED, LVIS_SELECTED);
        SetFocus(GetDlgItem(host_.Handle(), IDOK));
        host_.icons.SelectRow(index);
        EXPECT_TRUE(SelectedRows(list_).empty()) << index;
        EXPECT_EQ(GetFocus(), list_) << index;
    }
}

TEST_F(EmptyAwareListViewTest, ClearSelectionReadsNoRowsWithoutASelectionAndClearsEveryRowWithOne) {
    {
        kwtest::MessageSpy spy(list_);
        host_.icons.ClearSelection();
        EXPECT_EQ(spy.Count(LVM_GETITEMSTATE), 0);
        EXPECT_EQ(spy.Count(LVM_SETITEMSTATE), 0);
    }
    ListView_SetItemState(list_, 0, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list_, 2, LVIS_SELECTED, LVIS_SELECTED);
    kwtest::MessageSpy spy(list_);
    host_.icons.ClearSelection();
    EXPECT_EQ(spy.Count(LVM_GETITEMSTATE), 3);
    EXPECT_TRUE(SelectedRows(list_).empty());
    EXPECT_EQ(ListView_GetItemCount(list_), 3);
}

// ---- hint painting ---------------------------------------------------------------------------

// Painting is read back from the screen, so these lists are shown. One host serves the whole
// group: Wine on a bare X server takes seconds to take a shown window down again.
class HintPaintingTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = new ListHost;
        if (host_->Create(nullptr) != nullptr) ShowWindow(host_->Handle(), SW_SHOWNOACTIVATE);
    }
    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(host_->Handle(), nullptr) << "the tests need an X display";
        for (EmptyAwareListView* list : {&host_->icons, &host_->report}) {
            list->DeleteAllRows();
            list->SetHintState(kw::kHintOff);
        }
    }

    static kwtest::ClientPixels Paint(HWND list) {
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump(host_->Handle());
        return kwtest::ClientPixels(list);
    }

    // Where the window's outer top-left corner lies in client coordinates (minus the border).
    static POINT OuterCorner(HWND list) {
        RECT outer;
        GetWindowRect(list, &outer);
        POINT corner = {outer.left, outer.top};
        ScreenToClient(list, &corner);
        return corner;
    }

    static ListHost* host_;
};

ListHost* HintPaintingTest::host_ = nullptr;

TEST_F(HintPaintingTest, HintReplacesTheRowsOnlyWhileHintStateIsMinusOne) {
    HWND list = host_->icons.Handle();
    EXPECT_EQ(host_->icons.HintState(), 0);
    kwtest::ClientPixels empty = Paint(list);
    EXPECT_EQ(empty.CountDark({0, 0, empty.Width(), empty.Height()}), 0);

    AddRows(list, 3);
    // Any state but -1 paints the rows, which start at the top.
    for (int state : {kw::kHintOff, 1, -2}) {
        host_->icons.SetHintState(state);
        RECT rows = Paint(list).DarkBounds();
        ASSERT_LT(rows.left, rows.right) << state;
        EXPECT_LT(rows.top, 9) << state;
    }

    host_->icons.SetHintState(kw::kHintShown);
    RECT text = Paint(list).DarkBounds();
    ASSERT_LT(text.left, text.right) << "no hint text was painted";
    // Placed 20 pixels right and 10 down from the outer edge of the border; a glyph may start a
    // pixel or two inside its cell.
    POINT corner = OuterCorner(list);
    EXPECT_GE(text.left, corner.x + 20);
    EXPECT_LE(text.left, corner.x + 20 + 3);
    EXPECT_GE(text.top, corner.y + 10);
    EXPECT_LE(text.top, corner.y + 10 + 5);

    host_->icons.DeleteAllRows();
    host_->icons.SetHintState(kw::kHintOff);
    kwtest::ClientPixels again = Paint(list);
    EXPECT_EQ(again.CountDark({0, 0, again.Width(), again.Height()}), 0);
}

TEST_F(HintPaintingTest, HintStartsBelowTheColumnHeader) {
    HWND list = host_->report.Handle();
    RECT headerItem = {};
    Header_GetItemRect(ListView_GetHeader(list), 0, &headerItem);
    ASSERT_GT(headerItem.bottom, 0);

    host_->report.SetHintState(kw::kHintShown);
    kwtest::ClientPixels hinted = Paint(list);
    RECT below = {0, headerItem.bottom, hinted.Width(), hinted.Height()};
    ASSERT_GT(hinted.CountDark(below), 0);
    // Ignore the header's own text: the hint's first dark row lies 10 pixels below it.
    int firstHintRow = -1;
    for (int y = headerItem.bottom; y < hinted.Height() && firstHintRow < 0; ++y)
        if (hinted.CountDark({0, y, hinted.Width(), y + 1}) > 0) firstHintRow = y;
    POINT corner = OuterCorner(list);
    EXPECT_GE(firstHintRow, corner.y + headerItem.bottom + 10);
    EXPECT_LE(firstHintRow, corner.y + headerItem.bottom + 10 + 5);
}

// ---- project images --------------------------------------------------------------------------

TEST(ProjectImagesTest, ThreeSixteenPixelImagesInKindOrder) {
    HIMAGELIST raw = nullptr;
    ASSERT_TRUE(kw::CreateProjectImages(raw));
    kw::ImageListHandle images(raw);
    EXPECT_EQ(ImageList_GetImageCount(raw), 3);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(raw, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);

    // Draw each image on white and count the pixels of one colour: yellow for the unknown kind,
    // dark blue letters for the two languages, and the two language pictures differ.
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<std::vector<DWORD>> pictures;
    for (int i = 0; i < 3; ++i) {
        PatBlt(dc, 0, 0, 16, 16, WHITENESS);
        ImageList_Draw(raw, i, dc, 0, 0, ILD_NORMAL);
        GdiFlush();
        const auto* p = static_cast<const DWORD*>(bits);
        pictures.emplace_back(p, p + 256);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);

    auto count = [&](int image, DWORD rgb) {
        return std::count_if(pictures[image].begin(), pictures[image].end(),
                             [rgb](DWORD px) { return (px & 0xFFFFFF) == rgb; });
    };
    const DWORD yellow = 0xFFFF00, navy = 0x000080;
    EXPECT_GT(count(0, yellow), 10);
    EXPECT_EQ(count(0, navy), 0);
    EXPECT_GT(count(1, navy), 10);
    EXPECT_GT(count(2, navy), 10);
    EXPECT_EQ(count(1, yellow), 0);
    EXPECT_NE(pictures[1], pictures[2]);
}

TEST(ProjectImagesTest, ListsThatUseTheImagesDoNotDestroyThem) {
    HIMAGELIST raw = nullptr;
    ASSERT_TRUE(kw::CreateProjectImages(raw));
    kw::ImageListHandle images(raw);
    {
        ListHost host;
        ASSERT_NE(host.Create(nullptr), nullptr);
        ListView_SetImageList(host.icons.Handle(), raw, LVSIL_SMALL);
        ListView_SetImageList(host.report.Handle(), raw, LVSIL_SMALL);
        EXPECT_EQ(ListView_GetImageList(host.icons.Handle(), LVSIL_SMALL), raw);
        EXPECT_EQ(ListView_GetImageList(host.report.Handle(), LVSIL_SMALL), raw);
    }
    // Both lists are gone; the image list still belongs to its maker.
    EXPECT_EQ(ImageList_GetImageCount(raw), 3);
}

}  // namespace
