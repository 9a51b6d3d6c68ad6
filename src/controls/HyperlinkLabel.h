// A static text control that looks and behaves like a link in a web page: link colours, an
// underline, a hand cursor, a tooltip with the address, and a click that opens the address.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "win/Handles.h"
#include "win/WindowSubclass.h"

namespace kw {

// What OpenLink needs from the system, so the fallback can be driven without starting programs.
class LinkShell {
public:
    virtual ~LinkShell() = default;
    // ShellExecute "open" without owner, parameters or folder; its result as an integer.
    virtual int ShellOpen(const std::wstring& address, int showCommand) = 0;
    // The default value of a key under HKEY_CLASSES_ROOT, whatever its length; an expandable
    // value comes back with its environment variables filled in.
    virtual bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) = 0;
    // Starts a command line as WinExec does and answers as it does (above 31 on success), but
    // takes the command in UTF-16.
    virtual int Exec(const std::wstring& command, int showCommand) = 0;
};

LinkShell& SystemLinkShell();

class HyperlinkLabel : public WindowSubclass {
public:
    HyperlinkLabel();
    ~HyperlinkLabel() override;

    // Takes over the static control (the dialog's control with that id).
    bool Attach(HWND dialog, int id);
    bool Attach(HWND control);

    void SetLink(std::wstring_view address);
    void MarkVisited(bool visited);
    void SetUnderlined(bool underlined);
    // Only affects later fits.
    void SetFitToText(bool fit) { fitToText_ = fit; }
    // Tests replace the system with a scripted shell; the shell must outlive the label.
    void SetShell(LinkShell& shell) { shell_ = &shell; }

    // Opens the address in the shell, or else with the program registered for web pages.
    // Returns a value above 32 on success, else the error code to show.
    int OpenLink(const std::wstring& address, int showCommand);
    // "Unable to open hyperlink:" with the text for the code, in a warning box.
    void ShowOpenError(int code);

    const std::wstring& Target() const { return target_; }
    bool Hovering() const { return hovering_; }
    bool Visited() const { return visited_; }
    bool Underlined() const { return underlined_; }
    COLORREF NormalColour() const { return normalColour_; }
    COLORREF VisitedColour() const { return visitedColour_; }
    COLORREF HoverColour() const { return hoverColour_; }
    // The colour the text is drawn in now.
    COLORREF TextColour() const;
    HCURSOR HandCursor() const { return handCursor_; }
    HWND Tooltip() const { return tooltip_.Get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnUnsubclassed(HWND window) override;

private:
    void FitToText();
    void LoadHandCursor();
    void ApplyFont(const LOGFONTW& description);
    void CreateTooltip();
    void OnClick();
    void OnMouseMove(LPARAM position);
    void Redraw();
    void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);

    COLORREF normalColour_ = RGB(0, 0, 238);
    COLORREF visitedColour_ = RGB(85, 26, 139);
    COLORREF hoverColour_;
    bool hovering_ = false;
    bool visited_ = false;
    bool underlined_ = true;
    bool fitToText_ = true;
    std::wstring target_;
    FontHandle font_;
    HCURSOR handCursor_ = nullptr;
    CursorHandle ownedCursor_;  // set when handCursor_ is our copy, not a shared system cursor
    WindowHandle tooltip_;
    HFONT originalFont_ = nullptr;
    bool destroying_ = false;
    LinkShell* shell_;
};

// The rectangle of a static control of the given style fitted around a text of the given size.
RECT FitRectToText(const RECT& rect, SIZE text, LONG style);

// The fallback command: the registered command line cut where its "%1" placeholder starts (with
// its opening quote when it is quoted), then a blank and the address as one quoted argument.
// Empty when the result would be too long to start.
std::wstring BuildFallbackCommand(const std::wstring& commandLine, const std::wstring& address);

// The whole text shown for a failed open with this code.
std::wstring OpenErrorMessage(int code);

// A private copy of a cursor resource of another program, or nullptr when the program or the
// cursor is missing.
HCURSOR LoadCursorFromProgram(const std::wstring& path, int cursorId);

}  // namespace kw
