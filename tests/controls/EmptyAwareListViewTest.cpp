// The project list: LVN_USERINPUT after user input only, the two selection operations, the hint
// painting and the project images.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "controls/ControlsTestSupport.h"
#include "controls/EmptyAwareListView.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace {

using kw::EmptyAwareListView;
using kwtest::Pump;

constexpr int kIconList = 1002;
constexpr int kReportList = 1007;

const DLGTEMPLATE* HostTemplate() {
    static kwtest::DialogTemplate layout = [] {
        kwtest::DialogTemplate t(L"List host", 280, 130);
        DWORD style = WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS;
        t.Add(WC_LISTVIEWW, L"", kIconList, style | LVS_SMALLICON, 10, 10, 120, 81);
        t.Add(WC_LISTVIEWW, L"", kReportList, style | LVS_REPORT, 140, 10, 120, 81);
        t.Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_PUSHBUTTON, 10, 100, 50, 14);
        return t;
    }();
    return layout.Get();
}

// Notes what the parent saw in each LVN_USERINPUT: "wParam idFrom selected-count first-selected".
class ListHost : public kw::Dialog {
public:
    ListHost() : Dialog(HostTemplate()) {}
    EmptyAwareListView icons;
    EmptyAwareListView report;
    std::vector<std::string> inputs;
    int otherNotifications = 0;

protected:
    bool OnInitDialog() override {
        icons.Attach(Handle(), kIconList);
        report.Attach(Handle(), kReportList);
        LVCOLUMNW column = {LVCF_TEXT | LVCF_WIDTH, 0, 120, const_cast<wchar_t*>(L"Project")};
        ListView_InsertColumn(report.Handle(), 0, &column);
        return true;
    }
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT&) override {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (message != WM_NOTIFY) return false;
        if (header->code != kw::LVN_USERINPUT) {
            ++otherNotifications;
            return false;
        }
        kw::ListView list(header->hwndFrom);
        EXPECT_EQ(list.Handle(), icons.Handle());
        inputs.push_back(std::to_string(wParam) + " " + std::to_string(header->idFrom) + " " +
                         std::to_string(list.SelectedCount()) + " " + std::to_string(list.NextSelected()));
        return true;
    }
};

void AddRows(HWND list, int count) {
    for (int i = 0; i < count; ++i) kw::ListView(list).InsertRow(L"Project " + std::to_wstring(i + 1), i % 3, i + 1);
}

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    kw::ListView view(list);
    for (int i = view.NextSelected(); i >= 0; i = view.NextSelected(i)) rows.push_back(i);
    return rows;
}

LPARAM CentreOfRow(HWND list, int row) {
    RECT rect = {};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

class EmptyAwareListViewTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host_.Create(nullptr), nullptr) << "the tests need an X display";
        list_ = host_.icons.Handle();
        AddRows(list_, 3);
        Pump(host_.Handle());
    }
    // The button-up is queued first so that the list's own drag detection ends at once.
    void Click(UINT down, UINT up, LPARAM where) {
        PostMessageW(list_, up, 0, where);
        SendMessageW(list_, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, where);
        Pump(host_.Handle());
    }

    ListHost host_;
    HWND list_ = nullptr;
};

TEST_F(EmptyAwareListViewTest, EachKeyPressTellsTheParentOnceAfterTheListHandledIt) {
    host_.icons.SelectRow(0);
    ListView_SetItemState(list_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    host_.inputs.clear();
    // The list had already moved the selection when the parent was told; keys that change
    // nothing are reported all the same.
    for (WPARAM key : {VK_END, VK_HOME, VK_HOME, VK_SHIFT, VK_F5}) SendMessageW(list_, WM_KEYDOWN, key, 0);
    EXPECT_EQ(host_.inputs, (std::vector<std::string>{"1002 1002 1 2", "1002 1002 1 0", "1002 1002 1 0",
                                                      "1002 1002 1 0", "1002 1002 1 0"}));
}

TEST_F(EmptyAwareListViewTest, EachLeftClickTellsTheParentOnceWithTheNewSelection) {
    RECT client;
    GetClientRect(list_, &client);
    const std::pair<LPARAM, const char*> cases[] = {
        {CentreOfRow(list_, 2), "1002 1002 1 2"},
        {MAKELPARAM(client.right - 3, client.bottom - 3), "1002 1002 0 -1"},  // blank space
    };
    for (const auto& [where, input] : cases) {
        host_.icons.SelectRow(1);
        host_.inputs.clear();
        Click(WM_LBUTTONDOWN, WM_LBUTTONUP, where);
        EXPECT_EQ(host_.inputs, std::vector<std::string>{input});
    }
}

TEST_F(EmptyAwareListViewTest, RightClicksAndProgrammaticSelectionProduceNoNotification) {
    LPARAM row = CentreOfRow(list_, 1);
    Click(WM_RBUTTONDOWN, WM_RBUTTONUP, row);
    host_.icons.SelectRow(2);
    ListView_SetItemState(list_, 0, LVIS_SELECTED, LVIS_SELECTED);
    host_.icons.ClearSelection();
    SendMessageW(list_, WM_MOUSEMOVE, 0, row);
    SendMessageW(list_, WM_CHAR, L'a', 0);
    Pump(host_.Handle());
    EXPECT_TRUE(host_.inputs.empty());
    EXPECT_GT(host_.otherNotifications, 0);  // the list's own notifications still arrive
}

TEST_F(EmptyAwareListViewTest, SelectRowSelectsOnlyThatRowAndFocusesTheList) {
    for (int index : {2, 3, -1}) {
        ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list_, 1, LVIS_SELECTED, LVIS_SELECTED);
        SetFocus(host_.Item(IDOK));
        host_.icons.SelectRow(index);
        // An index past either end leaves nothing selected.
        EXPECT_EQ(SelectedRows(list_), index == 2 ? std::vector<int>{2} : std::vector<int>{}) << index;
        EXPECT_EQ(GetFocus(), list_) << index;
        // Only the selected state was written: the focused row stays where it was.
        EXPECT_EQ(ListView_GetNextItem(list_, -1, LVNI_FOCUSED), 0) << index;
    }
}

TEST_F(EmptyAwareListViewTest, ClearSelectionReadsNoRowsWithoutASelectionAndClearsEveryRowWithOne) {
    {
        kwtest::MessageSpy spy(list_);
        host_.icons.ClearSelection();
        EXPECT_EQ(spy.Count(LVM_GETITEMSTATE) + spy.Count(LVM_SETITEMSTATE), 0);
    }
    ListView_SetItemState(list_, 0, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list_, 2, LVIS_SELECTED, LVIS_SELECTED);
    host_.icons.ClearSelection();
    EXPECT_TRUE(SelectedRows(list_).empty());
    EXPECT_EQ(ListView_GetItemCount(list_), 3);
}

// Painting is read back from the screen, so the host is shown; once only, as Wine on a bare X
// server takes seconds to take a shown window down again.
TEST(HintPaintingTest, HintReplacesTheRowsOnlyWhileHintStateIsMinusOneBelowAnyHeader) {
    ListHost host;
    ASSERT_NE(host.Create(nullptr), nullptr) << "the tests need an X display";
    ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    auto paint = [&](HWND list) {
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump(host.Handle());
        return kwtest::ClientPixels(list);
    };
    // Where the outer top-left corner lies in client coordinates: the hint is placed 20 pixels
    // right and 10 down from there (a glyph may start a pixel or two inside its cell).
    auto corner = [](HWND list) {
        RECT outer;
        GetWindowRect(list, &outer);
        POINT point = {outer.left, outer.top};
        ScreenToClient(list, &point);
        return point;
    };
    HWND list = host.icons.Handle();
    EXPECT_EQ(paint(list).DarkBounds().right, 0);  // nothing at all
    AddRows(list, 3);
    for (int state : {kw::kHintOff, 1, -2}) {  // any state but -1 paints the rows from the top
        host.icons.SetHintState(state);
        RECT rows = paint(list).DarkBounds();
        EXPECT_TRUE(rows.left < rows.right && rows.top < 9) << state;
    }
    host.icons.SetHintState(kw::kHintShown);
    RECT text = paint(list).DarkBounds();
    POINT at = corner(list);
    EXPECT_TRUE(text.left >= at.x + 20 && text.left <= at.x + 23) << text.left << " " << at.x;
    EXPECT_TRUE(text.top >= at.y + 10 && text.top <= at.y + 15) << text.top << " " << at.y;

    HWND report = host.report.Handle();
    RECT headerItem = {};
    Header_GetItemRect(kw::ListView(report).Header(), 0, &headerItem);
    ASSERT_GT(headerItem.bottom, 0);
    host.report.SetHintState(kw::kHintShown);
    kwtest::ClientPixels hinted = paint(report);
    int firstHintRow = -1;  // ignoring the header's own text
    for (int y = headerItem.bottom; y < hinted.Height() && firstHintRow < 0; ++y)
        if (hinted.CountDark({0, y, hinted.Width(), y + 1}) > 0) firstHintRow = y;
    at = corner(report);
    EXPECT_TRUE(firstHintRow >= at.y + headerItem.bottom + 10 && firstHintRow <= at.y + headerItem.bottom + 15)
        << firstHintRow;
}

TEST(ProjectImagesTest, ThreeSixteenPixelImagesInKindOrderThatListsShareAndNeverDestroy) {
    HIMAGELIST raw = nullptr;
    ASSERT_TRUE(kw::CreateProjectImages(raw));
    kw::ImageListHandle images(raw);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(raw, &cx, &cy);
    EXPECT_EQ(std::to_string(ImageList_GetImageCount(raw)) + " " + std::to_string(cx) + "x" + std::to_string(cy),
              "3 16x16");
    // Each image drawn on white: yellow for the unknown kind, dark blue letters for the two
    // languages, and the two language pictures differ.
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    kw::UniqueHandle<HBITMAP, kw::GdiObjectTraits> bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ old = SelectObject(dc, bitmap.Get());
    std::vector<std::vector<DWORD>> pictures;
    for (int i = 0; i < 3; ++i) {
        PatBlt(dc, 0, 0, 16, 16, WHITENESS);
        ImageList_Draw(raw, i, dc, 0, 0, ILD_NORMAL);
        GdiFlush();
        pictures.emplace_back(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + 256);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    auto count = [&](int image, DWORD rgb) {
        return std::count_if(pictures[image].begin(), pictures[image].end(), [rgb](DWORD px) { return (px & 0xFFFFFF) == rgb; });
    };
    const DWORD yellow = 0xFFFF00, navy = 0x000080;
    EXPECT_TRUE(count(0, yellow) > 10 && count(0, navy) == 0);
    EXPECT_TRUE(count(1, navy) > 10 && count(2, navy) > 10 && count(1, yellow) == 0);
    EXPECT_NE(pictures[1], pictures[2]);

    {
        ListHost host;
        ASSERT_NE(host.Create(nullptr), nullptr);
        for (HWND list : {host.icons.Handle(), host.report.Handle()}) {
            kw::ListView(list).SetImageList(raw);
            EXPECT_EQ(ListView_GetImageList(list, LVSIL_SMALL), raw);
        }
    }
    EXPECT_EQ(ImageList_GetImageCount(raw), 3);  // both lists are gone; the images are still there
}

}  // namespace
