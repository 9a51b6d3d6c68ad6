// The project list: LVN_USERINPUT after user input only, the two selection operations, the hint
// painting and the project images.
#include <functional>

#include "controls/ControlsTestSupport.h"

namespace {

using namespace kwtest;

class EmptyAwareListViewTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(icons_.Attach(host_.Handle(), kIcons));
        list_ = icons_.Handle();
        for (int i = 0; i < 3; ++i) kw::ListView(list_).InsertRow(L"Project " + std::to_wstring(i + 1), i, i + 1);
    }
    // The button-up is queued first so that the list's own drag detection ends at once.
    void Click(UINT down, UINT up, LPARAM where) {
        PostMessageW(list_, up, 0, where);
        SendMessageW(list_, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, where);
    }

    kw::EmptyAwareListView icons_;
    HWND list_ = nullptr;
};

// The parent is told after the list handled the input, so it sees the new selection; keys that
// change nothing are reported all the same. Right clicks and what the program does tell it nothing.
TEST_F(EmptyAwareListViewTest, EachKeyPressAndLeftClickTellsTheParentOnceNothingElseDoes) {
    const LPARAM onRow = MAKELPARAM(20, 6), blank = MAKELPARAM(170, 120);  // on the first row's text; on no row
    icons_.SelectRow(0);
    const std::pair<std::function<void()>, std::vector<std::string>> steps[] = {
        {[&] { SendMessageW(list_, WM_KEYDOWN, VK_END, 0); }, {"1105 1105 1 2"}},
        {[&] { SendMessageW(list_, WM_KEYDOWN, VK_SHIFT, 0); }, {"1105 1105 1 2"}},
        {[&] { Click(WM_LBUTTONDOWN, WM_LBUTTONUP, onRow); }, {"1105 1105 1 0"}},
        {[&] { Click(WM_LBUTTONDOWN, WM_LBUTTONUP, blank); }, {"1105 1105 0 -1"}},
        {[&] { Click(WM_RBUTTONDOWN, WM_RBUTTONUP, onRow); }, {}},
        {[&] { icons_.SelectRow(2); }, {}},
        {[&] { icons_.ClearSelection(); }, {}},
        {[&] { SendMessageW(list_, WM_CHAR, L'a', 0); }, {}},
    };
    for (size_t step = 0; step < std::size(steps); ++step) {
        SCOPED_TRACE(step);
        host_.inputs.clear();
        steps[step].first();
        Pump(host_.Handle());
        EXPECT_EQ(host_.inputs, steps[step].second);
    }
}

// Only the selected state is written: the focused row stays where it was. An index past either
// end leaves nothing selected. Clearing reads no row when nothing is selected.
TEST_F(EmptyAwareListViewTest, SelectRowSelectsOnlyThatRowAndFocusesTheListClearSelectionClearsAll) {
    constexpr int kClear = 99;
    // The selected rows (count, first), the focused row, and whether the list has the focus.
    const std::pair<int, const char*> cases[] = {
        {2, "1 2 0 focused"}, {3, "0 -1 0 focused"}, {-1, "0 -1 0 focused"}, {kClear, "0 -1 0"}};
    kw::ListView view(list_);
    ListView_SetItemState(list_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    for (const auto& [index, expected] : cases) {
        ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
        SetFocus(Item(kEdit));
        index == kClear ? icons_.ClearSelection() : icons_.SelectRow(index);
        const std::string focus = std::to_string(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
        EXPECT_EQ(std::to_string(view.SelectedCount()) + " " + std::to_string(view.NextSelected()) + " " + focus +
                      (GetFocus() == list_ ? " focused" : ""),
                  expected);
    }
}

// The list's own painting asks its parent about custom drawing, the hint's does not. Shown, as only
// a visible window paints; once only, as Wine on a bare X server takes seconds to take a shown
// window down. (Where the hint goes is checked by eye: scripts/screenshot.sh lists.) The list
// shares the image list: going, it leaves it to its owner.
TEST_F(EmptyAwareListViewTest, OnlyHintStateMinusOnePaintsTheHintAndTheListNeverDestroysTheImages) {
    kw::ImageListHandle images = kw::CreateProjectImages();
    ASSERT_TRUE(images);
    kw::ListView(list_).SetImageList(images.Get());
    ShowWindow(host_.Handle(), SW_SHOWNOACTIVATE);
    for (int state : {kw::kHintOff, kw::kHintShown, 1, -2}) {
        icons_.SetHintState(state);
        host_.notifyIds.clear();
        RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump(host_.Handle());
        EXPECT_EQ(host_.notifyIds.empty(), state == kw::kHintShown) << state;
    }
    DestroyWindow(list_);
    EXPECT_EQ(ImageList_GetImageCount(images.Get()), 3);
}

}  // namespace
