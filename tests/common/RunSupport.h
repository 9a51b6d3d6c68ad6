// Support for tests and benchmarks that run the engine: a receiver window built on the engine's
// own LogReceiver, stand-in projects and packages on disk, and the stand-in builders' folder.
#pragma once

#include "common/TestSupport.h"
#include "engine/LogReceiver.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace kwtest {

// A path of the build tree as Wine sees it (Z:\...).
std::wstring BuildTreePath(const std::string& relative);
// The stand-in Visual Studio common folder: <build>\vs6\Common.
std::wstring StandInVisualStudioFolder();

// One WM_LOG_TEXT as it arrived, and when (performance counter ticks).
struct Piece {
    bool wide = false;
    std::string bytes;  // narrow text
    std::wstring text;  // wide text
    long long ticks = 0;
};

// A message-only window on the calling thread that hands every WM_LOG_TEXT to a kw::LogReceiver
// (so lines are shown as both front ends show them), keeps a copy of each record, and counts
// WM_RUN_FINISHED (flushing the receiver then, as the front ends do).
class RunReceiver {
public:
    RunReceiver();
    ~RunReceiver();
    RunReceiver(const RunReceiver&) = delete;
    RunReceiver& operator=(const RunReceiver&) = delete;

    HWND Window() const;
    HWND ListBox() const { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1017)); }

    // Handles what is queued now.
    void Pump();
    // Handles messages until WM_RUN_FINISHED has arrived. False if it hasn't after a very long
    // time, which only a hung run explains.
    bool PumpUntilFinished();
    void Clear();

    const std::vector<Piece>& Pieces() const { return pieces_; }
    int Finished() const { return finished_; }
    bool ForeignListBox() const { return foreignListBox_; }
    // Every line as the event log shows it, in order.
    const std::vector<std::wstring>& Lines() const { return lines_; }
    // All narrow bytes, joined in arrival order.
    std::string NarrowBytes() const;
    // The wide lines, in order.
    std::vector<std::wstring> WideLines() const;

private:
    struct Host;
    std::unique_ptr<Host> window_;
    kw::LogReceiver receiver_;
    std::vector<Piece> pieces_;
    std::vector<std::wstring> lines_;
    int finished_ = 0;
    bool foreignListBox_ = false;
};

// A project of a test package. Folder and name make the project file (folder\name.dsp or .vbp).
struct TestProject {
    std::wstring id = L"1";  // the ProjectID's text
    std::wstring name;
    std::wstring compiler = L"VC6";
    std::wstring folder;
    std::wstring debugConfig = L"Win32 Debug";
    std::wstring releaseConfig = L"Win32 Release";
    std::string standIn;  // contents of standin.ini, none when empty
    std::string resource; // contents of the resource file (name.rc / the .vbp), default when empty
    bool writeProjectFile = true;  // false: nothing of the project is written
};

// Writes the project files (and standin.ini) of every project and a package naming them.
void WriteProjects(const std::vector<TestProject>& projects);
void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects);

// A Visual C++ project file with Debug and Release configurations and two sources.
std::string VisualCppProjectFile(const std::wstring& name);
// A Visual Basic project file with one form.
std::string VisualBasicProjectFile(const std::wstring& name);
// A resource script with the four version lines at 1.0.0.1.
std::string ResourceScript();

// Lines of a text file (UTF-8), without line ends.
std::vector<std::wstring> ReadLines(const std::wstring& path);
// Arguments of a command line as CommandLineToArgvW splits it (program first).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace kwtest
