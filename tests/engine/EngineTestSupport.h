// Helpers of the build engine tests: a receiver window that collects what a run posts, package and
// project files laid out on disk, and the stand-in builders' folder.
#pragma once

#include "engine/LogText.h"
#include "common/TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kwtest {

// A path of the build tree as Wine sees it (Z:\...).
std::wstring BuildTreePath(const std::string& relative);
// The stand-in Visual Studio common folder: <build>\vs6\Common.
std::wstring StandInVisualStudioFolder();

// One WM_LOG_TEXT as it arrived.
struct Piece {
    bool wide = false;
    std::string bytes;  // narrow text
    std::wstring text;  // wide text
};

// A message-only window on the calling thread that keeps every LogText it receives (and frees
// it) and counts WM_RUN_FINISHED.
class LogCollector {
public:
    LogCollector();
    ~LogCollector();
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    HWND Window() const { return window_; }
    HWND ListBox() const { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1017)); }

    // Handles what is queued now.
    void Pump();
    // Handles messages until WM_RUN_FINISHED has arrived. False if it hasn't after a very long
    // time, which only a hung run explains.
    bool PumpUntilFinished();

    // Forgets what has arrived so far.
    void Clear() {
        pieces_.clear();
        finished_ = 0;
    }

    const std::vector<Piece>& Pieces() const { return pieces_; }
    int Finished() const { return finished_; }
    bool ForeignListBox() const { return foreignListBox_; }

    // All narrow bytes, joined in arrival order.
    std::string NarrowBytes() const;
    // The wide lines, in order.
    std::vector<std::wstring> WideLines() const;
    // Every line as the event log shows it.
    std::vector<std::wstring> Lines() const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<Piece> pieces_;
    int finished_ = 0;
    bool foreignListBox_ = false;
};

// A project of a test package. Folder and name make the project file (folder\name.dsp or .vbp).
struct TestProject {
    int id = 0;
    std::wstring name;
    std::wstring compiler = L"VC6";
    std::wstring folder;
    std::wstring debugConfig = L"Win32 Debug";
    std::wstring releaseConfig = L"Win32 Release";
    std::string standIn;  // contents of standin.ini, none when empty
    bool writeProjectFile = true;
};

// Writes the project files (and standin.ini) of every project and a package naming them.
void WriteProjects(const std::vector<TestProject>& projects);
void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects);

// A Visual C++ project file with Debug and Release configurations and two sources.
std::string VisualCppProjectFile(const std::wstring& name);
// A Visual Basic project file with one form.
std::string VisualBasicProjectFile(const std::wstring& name);

// Lines of a text file (UTF-8), without line ends.
std::vector<std::wstring> ReadLines(const std::wstring& path);
// Arguments of a command line as CommandLineToArgvW splits it (program first).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace kwtest
