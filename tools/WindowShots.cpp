// Puts kilnworks.exe's main window into the states scripts/screenshot.sh photographs, driving it
// from outside by control ids:
//   window-shots run|errors|progress|parallel=N|file-menu <kilnworks.exe> <package> <folder>
// At each stage it writes <folder>\ready-N once the window is painted and waits for taken-N.
//   run        after start-up (1) and after a whole run with every action checked (2)
//   errors     after start-up (1) and after a Debug run, grown so the whole log shows, the first
//              error selected (2)
//   progress   after start-up (1) and during the run's third builder (2)
//   parallel=N after start-up (1) and after a Debug run with N builders at once, grown (2)
//   file-menu  the File menu pulled down (1)
#include "RemoteWindow.h"

#include "resource.h"
#include "win/Controls.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

namespace {

using kwremote::PumpUntil;
using kwremote::RunRemotely;

class Stages {
public:
    explicit Stages(std::wstring folder) : folder_(std::move(folder)) {}
    bool Reached(int n) const {
        Sleep(700);  // let the window finish painting
        const std::wstring number = std::to_wstring(n);
        HANDLE ready = CreateFileW((folder_ + L"\\ready-" + number).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready == INVALID_HANDLE_VALUE) return false;
        CloseHandle(ready);
        const std::wstring taken = folder_ + L"\\taken-" + number;
        return PumpUntil([&] { return GetFileAttributesW(taken.c_str()) != INVALID_FILE_ATTRIBUTES; }, 120000);
    }

private:
    std::wstring folder_;
};

void Grow(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 160, frame.bottom - frame.top + 240,
                 SWP_NOMOVE | SWP_NOZORDER);
}

// Drives the window through the stages of one mode; false when a step did not come about.
bool Drive(const std::wstring& mode, HWND window, const Stages& stages) {
    if (mode == L"file-menu") {
        SetForegroundWindow(window);
        PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L'f');
        const bool taken = stages.Reached(1);
        PostMessageW(window, WM_CANCELMODE, 0, 0);
        return taken;
    }
    if (!stages.Reached(1)) return false;
    if (mode == L"run") {
        return RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}) &&
               stages.Reached(2);
    }
    if (mode == L"errors") {
        if (!RunRemotely(window, {IDC_BUILD, IDC_DEBUG})) return false;
        Grow(window);
        SendMessageW(GetDlgItem(window, IDC_EVENT_LOG), WM_KEYDOWN, VK_F8, 0);
        return stages.Reached(2);
    }
    if (mode == L"progress") {
        if (!RunRemotely(window, {IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}, false)) {
            return false;
        }
        kw::Window caption(window);
        return PumpUntil([&] { return caption.Text().find(L" 3 of ") != std::wstring::npos; }) && stages.Reached(2) &&
               PumpUntil([&] { return kw::Window(window, IDC_START).Enabled(); });
    }
    if (mode.rfind(L"parallel=", 0) == 0) {
        SendMessageW(GetDlgItem(window, IDC_PARALLEL_BUILDS), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(mode.substr(9).c_str()));
        if (!RunRemotely(window, {IDC_BUILD, IDC_DEBUG})) return false;
        Grow(window);
        return stages.Reached(2);
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fputs("usage: window-shots run|errors|progress|parallel=N|file-menu <kilnworks.exe> <package> <folder>\n",
                   stderr);
        return 2;
    }
    const std::wstring mode = argv[1];
    const Stages stages(argv[4]);
    bool driven = false;
    const bool ended = kwremote::DriveProgram(argv[2], argv[3], [&](HWND window) { driven = Drive(mode, window, stages); });
    if (!driven || !ended) {
        std::fprintf(stderr, "window-shots: the window %s\n", driven ? "did not end cleanly" : "did not get there");
        return 1;
    }
    return 0;
}
