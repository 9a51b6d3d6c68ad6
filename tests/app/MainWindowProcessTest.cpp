// kilnworks.exe as its own process, driven from outside by control ids as an automation tool would:
// a whole run over stand-in projects. The same driver takes the screenshots of scripts/screenshot.sh.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "resource.h"
#include "win/Text.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using kwtest::AppProject;

namespace {

bool WaitFor(const std::function<bool()>& done, DWORD limitMs = 60000) {
    for (DWORD start = GetTickCount(); !done(); Sleep(50)) {
        if (GetTickCount() - start > limitMs) return false;
    }
    return true;
}

// One kilnworks.exe and its main window.
class RemoteMainWindow {
public:
    ~RemoteMainWindow() {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }

    // Starts the program on the package and waits for its window.
    bool Start(const std::wstring& package) {
        std::wstring command = L"\"" + kwtest::ProgramFolder() + L"\\kilnworks.exe\" \"" + package + L"\"";
        STARTUPINFOW startup = {sizeof(startup)};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            return false;
        }
        return WaitFor([&] {
            EnumWindows(&FindMain, reinterpret_cast<LPARAM>(this));
            return window_ != nullptr && IsWindowVisible(window_);
        });
    }

    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    void Click(int id) const {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &answer);
    }
    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        HWND log = Item(IDC_EVENT_LOG);
        int count = static_cast<int>(SendMessageW(log, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring line(static_cast<size_t>(SendMessageW(log, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            line.resize(static_cast<size_t>(SendMessageW(log, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
            lines.push_back(line);
        }
        return lines;
    }
    // A whole run: ">>", the given check boxes in order, Start, and Start enabled again.
    bool Run(std::initializer_list<int> checks) const {
        Click(IDC_ADD_ALL);
        for (int id : checks) Click(id);
        if (!Enabled(IDC_START)) return false;
        Click(IDC_START);
        return WaitFor([&] { return Enabled(IDC_START) && !Enabled(IDC_STOP); });
    }
    // The close box; true when the program has ended with 0.
    bool Close() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        DWORD code = 1;
        return WaitForSingleObject(process_.hProcess, 30000) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.hProcess, &code) && code == 0;
    }

private:
    static BOOL CALLBACK FindMain(HWND window, LPARAM self) {
        auto* remote = reinterpret_cast<RemoteMainWindow*>(self);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != remote->process_.dwProcessId || GetDlgItem(window, IDC_EVENT_LOG) == nullptr) return TRUE;
        remote->window_ = window;
        return FALSE;
    }

    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

TEST(MainWindowProcessTest, RunsTheChosenBuildsAndShowsTheBuildersLines) {
    ASSERT_TRUE(kwtest::StandInsInstalled()) << "VsCommonDir must lead to the stand-in builders (scripts/test.sh sets it)";
    kwtest::ScratchDir dir(L"e2e");
    std::string journalPath = kw::ToUtf8(dir.File(L"journal.txt"));
    AppProject calc{2, "Calc", "VC6", kw::ToUtf8(dir.File(L"Calc"))};
    AppProject tool{1, "Tool", "VB6", kw::ToUtf8(dir.File(L"Tool"))};
    for (const AppProject& p : {calc, tool}) kwtest::WriteProjectFolder(p, "journal=" + journalPath + "\n");
    kwtest::WriteBytes(dir.File(L"e2e.kwp"), kwtest::PackageXml("End to end", {calc, tool}));

    RemoteMainWindow window;
    ASSERT_TRUE(window.Start(dir.File(L"e2e.kwp")));
    ASSERT_TRUE(window.Run({IDC_BUILD, IDC_DEBUG}));
    std::vector<std::wstring> lines = window.Lines();
    ASSERT_TRUE(window.Close());

    // The builders ran in the fixed order with the described command lines: the C++ Debug build,
    // then the Basic build.
    std::wstring journal = kw::FromUtf8(kwtest::ReadBytes(dir.File(L"journal.txt")));
    EXPECT_EQ(std::count(journal.begin(), journal.end(), L'\n'), 2) << kwtest::Narrow(journal);
    EXPECT_LT(journal.find(L"Calc.dsp /MAKE \"Calc - Win32 Debug\" /OUT "), journal.find(L"\\Tool.vbp /outdir "));
    EXPECT_NE(journal.find(L"\\Tool.vbp /outdir "), std::wstring::npos);

    std::wstring all;
    for (const std::wstring& line : lines) all += line + L"\n";
    size_t calcLine = all.find(L"Calc.exe - 0 error(s), 0 warning(s)\n");
    size_t toolLine = all.find(L"Build of '");
    EXPECT_NE(all.find(L"--------------------Configuration: Calc - Win32 Debug--------------------\n"),
              std::wstring::npos) << kwtest::Narrow(all);
    EXPECT_NE(calcLine, std::wstring::npos);
    EXPECT_NE(toolLine, std::wstring::npos);
    EXPECT_EQ(all.find(L"Release"), std::wstring::npos);
    // The run's summary closes its lines: both targets built.
    size_t summary = all.find(L"Summary: 2 targets, 2 succeeded, 0 failed, 0 not run.\n");
    ASSERT_NE(summary, std::wstring::npos) << kwtest::Narrow(all);
    EXPECT_GT(summary, toolLine);
}

// Photographs for scripts/screenshot.sh, which runs it by name: KW_SHOT_DIR names the folder where the
// script and this driver meet. The driver opens the package in KW_SHOT_PACKAGE, says "ready-1",
// waits for "taken-1", performs a run, says "ready-2", waits for "taken-2" and closes the window.
TEST(MainWindowProcessTest, DISABLED_Screenshots) {
    wchar_t folder[MAX_PATH] = {}, package[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"KW_SHOT_DIR", folder, MAX_PATH) &&
                GetEnvironmentVariableW(L"KW_SHOT_PACKAGE", package, MAX_PATH));
    std::wstring shots = folder;
    auto stage = [&](const wchar_t* ready, const wchar_t* taken) {
        Sleep(700);  // let the window finish painting
        kwtest::WriteBytes(shots + L"\\" + ready, "");
        return WaitFor([&] { return kwtest::FileExists(shots + L"\\" + taken); }, 120000);
    };
    RemoteMainWindow window;
    ASSERT_TRUE(window.Start(package));
    ASSERT_TRUE(stage(L"ready-1", L"taken-1"));
    ASSERT_TRUE(window.Run({IDC_BUILD, IDC_DEBUG, IDC_RELEASE, IDC_VERSION, IDC_AUTO_INCREMENT}));
    ASSERT_TRUE(stage(L"ready-2", L"taken-2"));
    EXPECT_TRUE(window.Close());
}

}  // namespace
