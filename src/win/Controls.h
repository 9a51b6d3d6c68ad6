// Non-owning typed views of control windows: one-line methods over the controls' messages, so
// dialog code reads as targets.ItemData(i) rather than as SendMessage calls. Copying a view copies
// the handle; none of them destroys its window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <string>

namespace kw {

// The whole text of a window (any length).
std::wstring WindowText(HWND window);

class Window {
public:
    Window() = default;
    explicit Window(HWND window) : window_(window) {}
    Window(HWND dialog, int id) : window_(GetDlgItem(dialog, id)) {}

    HWND Handle() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }
    int Id() const { return GetDlgCtrlID(window_); }

    std::wstring Text() const { return WindowText(window_); }
    bool SetText(const std::wstring& text) const { return SetWindowTextW(window_, text.c_str()) != FALSE; }
    bool Enabled() const { return IsWindowEnabled(window_) != FALSE; }
    void Enable(bool enable) const { EnableWindow(window_, enable ? TRUE : FALSE); }
    bool Visible() const { return IsWindowVisible(window_) != FALSE; }
    void Show(bool show) const { ShowWindow(window_, show ? SW_SHOW : SW_HIDE); }
    void Focus() const { SetFocus(window_); }
    LONG_PTR Style() const { return GetWindowLongPtrW(window_, GWL_STYLE); }
    void AddStyle(LONG_PTR bits) const { SetWindowLongPtrW(window_, GWL_STYLE, Style() | bits); }
    Window Parent() const { return Window(GetParent(window_)); }
    HFONT Font() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }
    void SetFont(HFONT font, bool redraw) const { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE); }
    // which: ICON_BIG or ICON_SMALL. The window does not own the icon.
    void SetIcon(HICON icon, WPARAM which) const { Send(WM_SETICON, which, reinterpret_cast<LPARAM>(icon)); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(window_, message, wParam, lParam);
    }

protected:
    HWND window_ = nullptr;
};

// Turns a control's drawing off for its lifetime (WM_SETREDRAW), then on again with one repaint:
// a control that redraws after every row it gains takes ages over thousands of them.
class RedrawPause {
public:
    explicit RedrawPause(HWND window) : window_(window) {
        if (window_) SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawPause() {
        if (!window_) return;
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    HWND window_;
};

class Button : public Window {
public:
    using Window::Window;
    bool Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
    void SetChecked(bool checked) const { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }
    // A click as the user makes it: the parent gets BN_CLICKED.
    void Click() const { Send(BM_CLICK); }
    // The button does not own the icon.
    void SetIcon(HICON icon) const { Send(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)); }
};

class Edit : public Window {
public:
    using Window::Window;
    void SetLimit(int characters) const { Send(EM_LIMITTEXT, static_cast<WPARAM>(characters)); }
    void SetReadOnly(bool readOnly) const { Send(EM_SETREADONLY, readOnly ? TRUE : FALSE); }
    void SelectAll() const { Send(EM_SETSEL, 0, -1); }
};

class ListBox : public Window {
public:
    using Window::Window;
    // The new line's index, or LB_ERR / LB_ERRSPACE.
    int AddLine(const std::wstring& line) const {
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())));
    }
    int Count() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    // Makes room for this many more lines (and bytes of their text) at once.
    bool Reserve(int lines, int textBytes) const {
        return Send(LB_INITSTORAGE, static_cast<WPARAM>(lines), static_cast<LPARAM>(textBytes)) != LB_ERRSPACE;
    }
    std::wstring Line(int index) const;
    void Clear() const { Send(LB_RESETCONTENT); }
    int TopIndex() const { return static_cast<int>(Send(LB_GETTOPINDEX)); }
    void SetTopIndex(int index) const { Send(LB_SETTOPINDEX, static_cast<WPARAM>(index)); }
    int HorizontalExtent() const { return static_cast<int>(Send(LB_GETHORIZONTALEXTENT)); }
    void SetHorizontalExtent(int pixels) const { Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels)); }
};

class ListView : public Window {
public:
    using Window::Window;
    int Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    // Appends a row (or inserts it at index); returns its index or -1.
    int InsertRow(const std::wstring& text, int image, LPARAM itemData, int index = INT_MAX,
                  bool selected = false) const;
    // Makes room for this many rows at once.
    void Reserve(int rows) const { Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(rows)); }
    bool DeleteRow(int index) const { return Send(LVM_DELETEITEM, static_cast<WPARAM>(index)) != FALSE; }
    void DeleteAll() const { Send(LVM_DELETEALLITEMS); }
    std::wstring RowText(int index) const;
    // The row's item data, or 0 when the row does not exist.
    LPARAM ItemData(int index) const;
    int Image(int index) const;
    bool SetRowText(int index, const std::wstring& text) const;
    bool SetImage(int index, int image) const;
    // The row whose item data is itemData, or -1.
    int FindData(LPARAM itemData) const;

    int SelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
    // The next selected row after `after` (-1: from the start), or -1.
    int NextSelected(int after = -1) const {
        return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
    }
    bool Selected(int index) const { return Send(LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) != 0; }
    // Index -1 sets the state of every row.
    void SetSelected(int index, bool selected) const;
    void SetImageList(HIMAGELIST images, int which = LVSIL_SMALL) const {
        Send(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(images));
    }
    HWND Header() const { return reinterpret_cast<HWND>(Send(LVM_GETHEADER)); }
    // Sorts the rows by compare(itemData1, itemData2, context).
    bool SortByData(PFNLVCOMPARE compare, LPARAM context) const {
        return Send(LVM_SORTITEMS, static_cast<WPARAM>(context), reinterpret_cast<LPARAM>(compare)) != FALSE;
    }
};

// An invisible window that only receives messages (HWND_MESSAGE); owns and destroys it. The
// procedure gets every message; what it leaves goes to DefWindowProc.
class MessageOnlyWindow {
public:
    using Procedure = LRESULT (*)(void* context, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  bool& handled);
    MessageOnlyWindow(Procedure procedure, void* context);
    ~MessageOnlyWindow();
    MessageOnlyWindow(const MessageOnlyWindow&) = delete;
    MessageOnlyWindow& operator=(const MessageOnlyWindow&) = delete;

    HWND Handle() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    Procedure procedure_;
    void* context_;
    HWND window_ = nullptr;
};

}  // namespace kw
