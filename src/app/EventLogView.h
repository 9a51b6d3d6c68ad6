// The event log's looks and error navigation: an owner-drawn list box that keeps its strings, so
// its lines read as before, with errors, warnings and the run's verdict drawn in colours of their
// own; F8 / Shift+F8 and the context menu move between error lines; a double click on a line that
// names a source file opens it with the program Windows associates with it.
#pragma once

#include "controls/HyperlinkLabel.h"
#include "win/Controls.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace kw {

enum class LogLineStyle { Plain, Warning, Error, Success };

// A line on its own; the run summary is a success when nothing failed or was left out.
LogLineStyle StyleOfLogLine(std::wstring_view line);
// An indented line, as the details under the run summary are.
bool IsSummaryDetail(std::wstring_view line);

class EventLogView {
public:
    // Takes the dialog's list box; its lines are as high as its font.
    void Attach(HWND listBox);
    HWND Handle() const { return box_.Handle(); }
    // Tests replace the system shell; the shell must outlive the view.
    void SetShell(LinkShell& shell) { shell_ = &shell; }

    // A line's style, the summary's details taking the summary's.
    LogLineStyle StyleAt(int index) const;
    bool AnyErrors() const;

    // WM_DRAWITEM for the list box.
    void Draw(const DRAWITEMSTRUCT& item) const;
    // WM_VKEYTOITEM: F8 and Shift+F8 move between errors; -2 when handled, else -1.
    LRESULT OnKey(WPARAM wParam) const;
    // Selects and shows the next (or previous) error line after the selected one, wrapping
    // around; beeps when the log holds none. The line, or -1.
    int GoToError(bool forward) const;
    // Opens the file the line names, telling the owner when it can't. False when the line names
    // none (nothing happens) or the file could not be opened.
    bool OpenSource(int index, HWND owner) const;

private:
    std::vector<LogLineStyle> AllStyles() const;

    ListBox box_;
    LinkShell* shell_ = &SystemLinkShell();
};

}  // namespace kw
