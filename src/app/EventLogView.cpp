#include "app/EventLogView.h"

#include "engine/LogLineKind.h"
#include "resource.h"
#include "win/AtomicFile.h"
#include "win/Handles.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

#include <shellapi.h>

namespace kw {

namespace {

// How far back a detail line looks for its summary: one line per target that did not succeed.
constexpr int kMostSummaryDetails = 10000;

// Dark enough to read on a white window, apart enough to tell at a glance.
constexpr COLORREF kErrorColour = RGB(192, 0, 0);
constexpr COLORREF kWarningColour = RGB(160, 90, 0);
constexpr COLORREF kSuccessColour = RGB(0, 128, 0);

bool HighContrast() {
    HIGHCONTRASTW contrast = {sizeof(contrast)};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

COLORREF TextColour(LogLineStyle style) {
    // Fixed colours may vanish on a high-contrast scheme's background: keep to its text colour.
    if (style == LogLineStyle::Plain || HighContrast()) return GetSysColor(COLOR_WINDOWTEXT);
    if (style == LogLineStyle::Error) return kErrorColour;
    return style == LogLineStyle::Warning ? kWarningColour : kSuccessColour;
}

// ShellExecute's answers up to 32: Windows error codes, except its own few above 25.
std::wstring ShellFailure(int result) {
    switch (result) {
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE: return LoadResourceString(IDS_NO_PROGRAM_FOR_FILE);
    case SE_ERR_SHARE: return DescribeWin32Error(ERROR_SHARING_VIOLATION);
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return DescribeWin32Error(ERROR_TIMEOUT);
    case 0: return DescribeWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    default: return DescribeWin32Error(static_cast<DWORD>(result));
    }
}

}  // namespace

LogLineStyle StyleOfLogLine(std::wstring_view line) {
    switch (ClassifyLogLine(line)) {
    case LogLineKind::Error: return LogLineStyle::Error;
    case LogLineKind::Warning: return LogLineStyle::Warning;
    default: break;
    }
    long failed = 0, notRun = 0;
    return ReadRunSummary(line, failed, notRun) ? LogLineStyle::Success : LogLineStyle::Plain;
}

bool IsSummaryDetail(std::wstring_view line) { return line.substr(0, 2) == L"  "; }

void EventLogView::Attach(HWND listBox) {
    box_ = ListBox(listBox);
    // The list box asks for its line height before the dialog can answer; a plain list box's
    // lines are as high as its font.
    WindowDc dc(listBox);
    if (dc.Get() == nullptr) return;
    SelectedObject font(dc.Get(), box_.Font());
    TEXTMETRICW metrics = {};
    if (GetTextMetricsW(dc.Get(), &metrics)) box_.Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(metrics.tmHeight, 0));
}

LogLineStyle EventLogView::StyleAt(int index) const {
    std::wstring line = box_.Line(index);
    if (IsSummaryDetail(line)) {
        for (int before = index - 1; before >= 0 && index - before <= kMostSummaryDetails; --before) {
            std::wstring previous = box_.Line(before);
            if (!IsSummaryDetail(previous)) {
                long failed = 0, notRun = 0;
                if (ReadRunSummary(previous, failed, notRun)) return StyleOfLogLine(previous);
                break;
            }
        }
    }
    return StyleOfLogLine(line);
}

std::vector<LogLineStyle> EventLogView::AllStyles() const {
    // One pass: a summary's style carries over to the indented lines under it.
    std::vector<LogLineStyle> styles;
    int count = box_.Count();
    styles.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    bool inSummary = false;
    LogLineStyle summary = LogLineStyle::Plain;
    for (int i = 0; i < count; ++i) {
        std::wstring line = box_.Line(i);
        if (inSummary && IsSummaryDetail(line)) {
            styles.push_back(summary);
            continue;
        }
        long failed = 0, notRun = 0;
        inSummary = ReadRunSummary(line, failed, notRun);
        styles.push_back(StyleOfLogLine(line));
        summary = styles.back();
    }
    return styles;
}

bool EventLogView::AnyErrors() const {
    for (LogLineStyle style : AllStyles()) {
        if (style == LogLineStyle::Error) return true;
    }
    return false;
}

void EventLogView::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    // An empty log with the focus, or only the focus moving: just the focus rectangle.
    if (item.itemID == static_cast<UINT>(-1) || item.itemAction == ODA_FOCUS) {
        if (item.itemState & ODS_FOCUS || item.itemAction == ODA_FOCUS) DrawFocusRect(dc, &rect);
        return;
    }
    ListBox box(item.hwndItem);
    int index = static_cast<int>(item.itemID);
    std::wstring text = box.Line(index);
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    COLORREF fore = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : TextColour(StyleAt(index));
    if (item.itemState & ODS_DISABLED) fore = GetSysColor(COLOR_GRAYTEXT);

    // The same font and offset as the horizontal extent was measured with.
    SelectedObject font(dc, box.Font());
    COLORREF oldBack = SetBkColor(dc, back);
    COLORREF oldFore = SetTextColor(dc, fore);
    ExtTextOutW(dc, rect.left + 2, rect.top, ETO_OPAQUE | ETO_CLIPPED, &rect, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldFore);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);
}

LRESULT EventLogView::OnKey(WPARAM wParam) const {
    if (LOWORD(wParam) != VK_F8) return -1;
    GoToError((GetKeyState(VK_SHIFT) & 0x8000) == 0);
    return -2;
}

int EventLogView::GoToError(bool forward) const {
    std::vector<LogLineStyle> styles = AllStyles();
    int count = static_cast<int>(styles.size());
    int current = static_cast<int>(box_.Send(LB_GETCURSEL));
    if (current < 0 || current >= count) current = forward ? -1 : count;
    // Every line once, the selected one last.
    for (int step = 1; step <= count; ++step) {
        int index = ((forward ? current + step : current - step) % count + count) % count;
        if (styles[static_cast<size_t>(index)] != LogLineStyle::Error) continue;
        box_.Send(LB_SETCURSEL, static_cast<WPARAM>(index));
        // Where a diagnostic starts says what it is about.
        box_.Send(WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), 0);
        return index;
    }
    CurrentPrompt().Beep(MB_OK);
    return -1;
}

bool EventLogView::OpenSource(int index, HWND owner) const {
    std::wstring path;
    long lineNumber = 0;
    if (index < 0 || !FindSourceLocation(box_.Line(index), path, lineNumber)) return false;
    int result = shell_->ShellOpen(path, SW_SHOWNORMAL);
    if (result > 32) return true;
    CurrentPrompt().Message(owner, LoadResourceString(IDS_ERR_OPEN_SOURCE) + L"\n\n" + path + L"\n" + ShellFailure(result),
                            LoadResourceString(IDS_CAPTION_ERROR), MB_OK | MB_ICONERROR);
    return false;
}

}  // namespace kw
