#include "RemoteWindow.h"

#include "resource.h"
#include "win/Controls.h"

#include <utility>

namespace kwremote {

void Pump(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > limitMs) return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

namespace {

// The process's window that holds an event log is its main window.
BOOL CALLBACK FindMainWindow(HWND window, LPARAM found) {
    auto* wanted = reinterpret_cast<std::pair<DWORD, HWND>*>(found);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == wanted->first && GetDlgItem(window, IDC_EVENT_LOG) != nullptr) wanted->second = window;
    return wanted->second == nullptr;
}

}  // namespace

bool DriveProgram(const std::wstring& program, const std::wstring& package, const std::function<void(HWND)>& drive) {
    std::wstring command = L"\"" + program + L"\" \"" + package + L"\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    std::pair<DWORD, HWND> found = {process.dwProcessId, nullptr};
    bool shown = PumpUntil([&] {
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
        return found.second != nullptr && IsWindowVisible(found.second);
    });
    if (shown) {
        drive(found.second);
        PostMessageW(found.second, WM_CLOSE, 0, 0);
    }
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return shown && code == 0;
}

bool RunRemotely(HWND window, std::initializer_list<int> checks, bool wait) {
    auto click = [&](int id) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &answer);
    };
    click(IDC_ADD_ALL);
    for (int id : checks) click(id);
    click(IDC_START);
    kw::Window start(window, IDC_START), stop(window, IDC_STOP);
    return !wait || PumpUntil([&] { return start.Enabled() && !stop.Enabled(); });
}

}  // namespace kwremote
