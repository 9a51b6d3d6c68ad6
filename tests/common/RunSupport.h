// For tests and benchmarks that run the engine: a receiver window, stand-in projects and packages.
#pragma once

#include "common/TestSupport.h"
#include "engine/LogReceiver.h"
#include "win/Controls.h"

namespace kwtest {

// The stand-in Visual Studio common folder: <build>\vs6\Common.
std::wstring StandInVisualStudioFolder();

// One WM_LOG_TEXT as it arrived, and when (performance counter ticks).
struct Piece {
    bool wide = false;
    std::string bytes;  // narrow text only
    long long ticks = 0;
};

// A message-only window on the calling thread that hands every WM_LOG_TEXT to a kw::LogReceiver
// (so lines are shown as both front ends show them), keeps a copy of each record, and counts
// WM_RUN_FINISHED (flushing the receiver then, as the front ends do).
class RunReceiver {
public:
    RunReceiver();
    ~RunReceiver() { Pump(); }

    HWND Window() const { return window_.Handle(); }
    HWND ListBox() const { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1017)); }

    void Pump();  // handles what is queued now
    // Handles messages until WM_RUN_FINISHED has arrived; false after a time only a hung run takes.
    bool PumpUntilFinished();
    void Clear();

    const std::vector<Piece>& Pieces() const { return pieces_; }
    int Finished() const { return finished_; }
    bool ForeignListBox() const { return foreignListBox_; }
    // Every line as the event log shows it, in order.
    const std::vector<std::wstring>& Lines() const { return lines_; }
    std::string NarrowBytes() const;  // all narrow pieces, joined

private:
    static LRESULT Procedure(void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled);
    kw::MessageOnlyWindow window_{Procedure, this};
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
    std::wstring dependencies;     // the Dependencies text, as written
};

// Writes the project files (Debug and Release, two sources, version 1.0.0.1) and standin.ini of
// every project, and a package naming them (no CurrentVersion when version is empty, no Compiler
// for a project whose compiler is empty).
void WriteProjects(const std::vector<TestProject>& projects);
void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects, const std::wstring& name = L"Test",
                  const std::wstring& version = L"1.2.3.4");

// Arguments of a command line as CommandLineToArgvW splits it (program first).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace kwtest
