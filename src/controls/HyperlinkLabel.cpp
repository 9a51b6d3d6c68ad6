#include "controls/HyperlinkLabel.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "resource.h"
#include "win/Controls.h"
#include "win/Registry.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

namespace kw {

namespace {

constexpr UINT_PTR kToolId = 1;
constexpr int kHelpCursorId = 106;
// The longest command line the system starts, terminator included.
constexpr size_t kCommandLineChars = 32767;

class WindowsLinkShell : public LinkShell {
public:
    int ShellOpen(const std::wstring& address, int showCommand) override {
        HINSTANCE result = ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, showCommand);
        return static_cast<int>(reinterpret_cast<INT_PTR>(result));
    }

    bool ReadClassesRootDefault(const std::wstring& key, std::wstring& value) override {
        // A registered command line may be longer than a path; "%ProgramFiles%\..." is expanded.
        return ReadRegistryText(HKEY_CLASSES_ROOT, key.c_str(), nullptr, value) == RegistryText::Read;
    }

    int Exec(const std::wstring& command, int showCommand) override {
        // Not WinExec: its 8-bit command line cannot spell a browser folder outside the ANSI
        // code page, and the browser would not start.
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            DWORD error = GetLastError();
            // WinExec's failures: these three by name, anything else as out of resources.
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_FORMAT)
                return static_cast<int>(error);
            return 0;
        }
        KernelHandle thread(process.hThread);
        KernelHandle child(process.hProcess);
        return 33;
    }
};

}  // namespace

LinkShell& SystemLinkShell() {
    static WindowsLinkShell shell;
    return shell;
}

HyperlinkLabel::HyperlinkLabel() : hoverColour_(GetSysColor(COLOR_HIGHLIGHT)), shell_(&SystemLinkShell()) {}

// The base destructor cannot reach OnUnsubclassed; our clean-up runs from here.
HyperlinkLabel::~HyperlinkLabel() { Unsubclass(); }

bool HyperlinkLabel::Attach(HWND dialog, int id) { return Attach(GetDlgItem(dialog, id)); }

bool HyperlinkLabel::Attach(HWND control) {
    if (!Subclass(control)) return false;
    destroying_ = false;

    Window label(control);
    // Clicks are only reported with SS_NOTIFY.
    label.AddStyle(SS_NOTIFY);

    if (target_.empty()) {
        target_ = label.Text();
    } else if (label.Text().empty()) {
        label.SetText(target_);
    }

    originalFont_ = label.Font();
    LOGFONTW description = {};
    GetObjectW(originalFont_ ? static_cast<HGDIOBJ>(originalFont_) : GetStockObject(DEFAULT_GUI_FONT),
               sizeof(description), &description);
    description.lfUnderline = underlined_ ? TRUE : FALSE;
    ApplyFont(description);

    FitToText();
    LoadHandCursor();
    CreateTooltip();
    return true;
}

void HyperlinkLabel::OnUnsubclassed(HWND window) {
    tooltip_.Reset();
    // Give the control its own font back unless it is being destroyed anyway; our copy goes.
    if (!destroying_ && IsWindow(window)) Window(window).SetFont(originalFont_, false);
    font_.Reset();
    originalFont_ = nullptr;
    if (hovering_ && GetCapture() == window) ReleaseCapture();
    hovering_ = false;
}

void HyperlinkLabel::ApplyFont(const LOGFONTW& description) {
    FontHandle font(CreateFontIndirectW(&description));
    if (!font) return;
    Window(Handle()).SetFont(font.Get(), true);
    // The old font is deleted only once the control no longer uses it.
    font_ = std::move(font);
}

void HyperlinkLabel::CreateTooltip() {
    HWND control = Handle();
    tooltip_.Reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr, GetModuleHandleW(nullptr),
                                   nullptr));
    if (!tooltip_) return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = control;
    tool.uId = kToolId;
    GetClientRect(control, &tool.rect);
    tool.lpszText = const_cast<wchar_t*>(target_.c_str());
    Window(tooltip_.Get()).Send(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperlinkLabel::SetLink(std::wstring_view address) {
    target_ = address;
    if (Handle() == nullptr) return;
    FitToText();
    if (tooltip_) {
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Handle();
        tool.uId = kToolId;
        tool.lpszText = const_cast<wchar_t*>(target_.c_str());
        Window(tooltip_.Get()).Send(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void HyperlinkLabel::MarkVisited(bool visited) {
    visited_ = visited;
    if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
}

void HyperlinkLabel::SetUnderlined(bool underlined) {
    underlined_ = underlined;
    HWND control = Handle();
    if (control == nullptr) return;
    HFONT current = Window(control).Font();
    LOGFONTW description = {};
    GetObjectW(current ? static_cast<HGDIOBJ>(current) : GetStockObject(DEFAULT_GUI_FONT), sizeof(description),
               &description);
    description.lfUnderline = underlined ? TRUE : FALSE;
    ApplyFont(description);
    InvalidateRect(control, nullptr, TRUE);
}

COLORREF HyperlinkLabel::TextColour() const {
    if (hovering_) return hoverColour_;
    return visited_ ? visitedColour_ : normalColour_;
}

void HyperlinkLabel::FitToText() {
    HWND control = Handle();
    if (control == nullptr || !fitToText_) return;
    HWND parent = GetParent(control);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);

    std::wstring text = WindowText(control);
    SIZE extent = {};
    {
        WindowDc dc(control);
        SelectedObject font(dc.Get(), font_ ? static_cast<HGDIOBJ>(font_.Get()) : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    RECT fitted = FitRectToText(rect, extent, static_cast<LONG>(GetWindowLongPtrW(control, GWL_STYLE)));
    SetWindowPos(control, nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void HyperlinkLabel::LoadHandCursor() {
    if (handCursor_ != nullptr) return;
    wchar_t folder[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        ownedCursor_.Reset(LoadCursorFromProgram(std::wstring(folder, length) + L"\\winhlp32.exe", kHelpCursorId));
        handCursor_ = ownedCursor_.Get();
    }
    // Current Windows no longer carries the old help program's hand; the system has its own.
    if (handCursor_ == nullptr) handCursor_ = LoadCursorW(nullptr, IDC_HAND);
}

void HyperlinkLabel::Redraw() {
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void HyperlinkLabel::OnMouseMove(LPARAM position) {
    HWND control = Handle();
    if (!hovering_) {
        hovering_ = true;
        Redraw();
        SetCapture(control);
        return;
    }
    POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    RECT client;
    GetClientRect(control, &client);
    if (!PtInRect(&client, point)) {
        hovering_ = false;
        ReleaseCapture();
        Redraw();
    }
}

void HyperlinkLabel::OnClick() {
    int result = OpenLink(target_, SW_SHOW);
    visited_ = result > 32;
    if (visited_) {
        MarkVisited(true);
    } else {
        CurrentPrompt().Beep(MB_ICONEXCLAMATION);
        ShowOpenError(result);
    }
}

void HyperlinkLabel::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!tooltip_) return;
    MSG relayed = {};
    relayed.hwnd = Handle();
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    DWORD position = GetMessagePos();
    relayed.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    Window(tooltip_.Get()).Send(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT HyperlinkLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) RelayToTooltip(message, wParam, lParam);

    switch (message) {
    case kReflectedCommand:
        if (HIWORD(wParam) != STN_CLICKED) break;
        OnClick();
        return TRUE;

    case kReflectedCtlColorStatic: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, TextColour());
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }

    case WM_SETCURSOR:
        if (handCursor_ == nullptr) break;
        SetCursor(handCursor_);
        return TRUE;

    case WM_MOUSEMOVE: {
        LRESULT result = DefaultProc(message, wParam, lParam);
        OnMouseMove(lParam);
        return result;
    }

    case WM_CAPTURECHANGED:
        // Someone else took the mouse (a message box, a menu): the label is no longer hovered.
        if (hovering_ && reinterpret_cast<HWND>(lParam) != Handle()) {
            hovering_ = false;
            Redraw();
        }
        break;

    case WM_DESTROY:
        destroying_ = true;
        break;

    default:
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

int HyperlinkLabel::OpenLink(const std::wstring& address, int showCommand) {
    int result = shell_->ShellOpen(address, showCommand);
    if (result > 32) return result;

    // The shell could not do it: start the program registered for web pages ourselves.
    std::wstring pageClass;
    if (!shell_->ReadClassesRootDefault(L".htm", pageClass)) return result;
    std::wstring commandLine;
    if (!shell_->ReadClassesRootDefault(pageClass + L"\\shell\\open\\command", commandLine)) return result;
    std::wstring command = BuildFallbackCommand(commandLine, address);
    if (command.empty()) return result;
    return shell_->Exec(command, showCommand);
}

void HyperlinkLabel::ShowOpenError(int code) {
    HWND owner = Handle() != nullptr ? GetParent(Handle()) : nullptr;
    CurrentPrompt().Message(owner, OpenErrorMessage(code), LoadResourceString(IDS_APP_TITLE),
                            MB_ICONEXCLAMATION | MB_OK);
}

RECT FitRectToText(const RECT& rect, SIZE text, LONG style) {
    RECT fitted = rect;
    if (style & SS_CENTERIMAGE) {
        LONG shrink = ((rect.bottom - rect.top) - text.cy) / 2;
        fitted.top += shrink;
        fitted.bottom -= shrink;
    } else {
        fitted.bottom = fitted.top + text.cy;
    }
    LONG type = style & SS_TYPEMASK;
    if (type == SS_CENTER) {
        LONG shrink = ((rect.right - rect.left) - text.cx) / 2;
        fitted.left += shrink;
        fitted.right -= shrink;
    } else if (type == SS_RIGHT) {
        fitted.left = fitted.right - text.cx;
    } else {
        fitted.right = fitted.left + text.cx;
    }
    return fitted;
}

std::wstring BuildFallbackCommand(const std::wstring& commandLine, const std::wstring& address) {
    std::wstring command = commandLine;
    size_t cut = command.find(L"\"%1\"");
    if (cut == std::wstring::npos) cut = command.find(L"%1");
    if (cut != std::wstring::npos) command.erase(cut);
    // The address is appended after a blank as it is. One that holds a blank, a tab or a quote
    // goes in quoted, so it stays one argument: a quote inside (never valid in an address) is
    // escaped, so it cannot end the argument and start another, and trailing backslashes are
    // doubled, so they cannot escape the closing quote.
    command += L' ';
    if (address.find_first_of(L" \t\"") == std::wstring::npos) {
        command += address;
    } else {
        command += L'"';
        for (wchar_t c : address) {
            if (c == L'"') {
                command += L"%22";
            } else {
                command += c;
            }
        }
        size_t backslashes = 0;
        while (backslashes < command.size() && command[command.size() - 1 - backslashes] == L'\\') ++backslashes;
        command.append(backslashes, L'\\');
        command += L'"';
    }
    // A command cut short would open some other address: none rather than that.
    if (command.size() >= kCommandLineChars) return {};
    return command;
}

std::wstring OpenErrorMessage(int code) {
    const wchar_t* text = nullptr;
    switch (code) {
    case 0: text = L"The operating system is out\nof memory or resources."; break;
    case SE_ERR_FNF: text = L"The specified file was not found."; break;
    case SE_ERR_PNF: text = L"The specified path was not found."; break;
    case SE_ERR_ACCESSDENIED: text = L"The operating system denied\naccess to the specified file."; break;
    case SE_ERR_OOM: text = L"There was not enough memory to complete the operation."; break;
    case ERROR_BAD_FORMAT: text = L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case SE_ERR_SHARE: text = L"A sharing violation occurred. "; break;
    case SE_ERR_ASSOCINCOMPLETE: text = L"The filename association is\nincomplete or invalid."; break;
    case SE_ERR_DDETIMEOUT: text = L"The DDE transaction could not\nbe completed because the request timed out."; break;
    case SE_ERR_DDEFAIL: text = L"The DDE transaction failed."; break;
    case SE_ERR_DDEBUSY:
        text = L"The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case SE_ERR_NOASSOC: text = L"There is no application associated\nwith the given filename extension."; break;
    case SE_ERR_DLLNOTFOUND: text = L"The specified dynamic-link library was not found."; break;
    default: break;
    }
    std::wstring message = L"Unable to open hyperlink:\n\n";
    message += text != nullptr ? std::wstring(text) : FormatW(L"Unknown Error (%d) occurred.", code);
    return message;
}

HCURSOR LoadCursorFromProgram(const std::wstring& path, int cursorId) {
    // Loaded for its resources only: nothing of the other program runs in ours.
    ModuleHandle program(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!program) return nullptr;
    HCURSOR cursor = LoadCursorW(program.Get(), MAKEINTRESOURCEW(cursorId));
    if (cursor == nullptr) return nullptr;
    return reinterpret_cast<HCURSOR>(CopyIcon(reinterpret_cast<HICON>(cursor)));
}

}  // namespace kw
