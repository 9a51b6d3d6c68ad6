// The project list of the main window and of the package editor: a list-view control that tells
// its parent about every key press and left click, and can paint a hint instead of its rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "win/Handles.h"
#include "win/WindowSubclass.h"

namespace kw {

// WM_NOTIFY code sent to the parent after each WM_KEYDOWN and WM_LBUTTONDOWN the list handled.
constexpr UINT LVN_USERINPUT = 1045;

// Values of hintState.
constexpr int kHintOff = 0;
constexpr int kHintShown = -1;

class EmptyAwareListView : public WindowSubclass {
public:
    // Takes over the list-view control with this id in the dialog. The list then shares its
    // image lists rather than owning them.
    bool Attach(HWND dialog, int id);
    bool Attach(HWND listView);

    // 0 paints the rows as usual, -1 paints "The Package is empty." instead.
    int HintState() const { return hintState_; }
    void SetHintState(int state);

    // While one lives, messages to the list go straight to the list view, past this control's
    // own handling: every message to a subclassed control costs trips to the window server under
    // Wine, which over the rows of a large package adds up to seconds. Only for changes made in
    // one go, with no input or painting in between.
    class Bypass {
    public:
        explicit Bypass(EmptyAwareListView& list);
        ~Bypass();
        Bypass(const Bypass&) = delete;
        Bypass& operator=(const Bypass&) = delete;

    private:
        EmptyAwareListView& list_;
        HWND window_;
    };

    // Removes the selection from every row; reads no row when nothing is selected.
    void ClearSelection();
    // Selects exactly the row at index and focuses the list. An index that names no row leaves
    // nothing selected.
    void SelectRow(int index);
    void DeleteAllRows();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintHint();
    void NotifyUserInput();

    int hintState_ = kHintOff;
};

// The image list of the three project kinds (unknown, Visual C++ 6, Visual Basic 6), indexed by
// CompilerKind: 16 x 16, no mask; empty when it can't be made. Installed as LVSIL_SMALL, it must
// outlive the lists that show it.
ImageListHandle CreateProjectImages();

}  // namespace kw
