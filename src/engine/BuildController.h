// Starting a run: the main window (or the console front end) hands its choices to a
// BuildController, which keeps them in the process-wide run settings and starts one BuildWorker
// thread. The controller object itself holds nothing and may go as soon as StartRun has returned.
#pragma once

#include "engine/RunOutcome.h"
#include "engine/RunSettings.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace kw {

class PackageDocument;
class BuildController;
class ProcessLauncher;

// Names the list box that every LogText of a run is meant for.
struct EventLogRef {
    HWND listBox = nullptr;
};

// The worker's input. Allocated by StartRun with CoTaskMemAlloc, freed by the worker as its last
// act. targets and eventLog belong to the caller, which must leave them untouched until
// WM_RUN_FINISHED arrives.
struct BuildJob {
    BuildController* controller;  // may be gone while the run goes on; the steps never use it
    const int* targets;           // ProjectIDs, ending with 0
    HWND window;                  // receiver of WM_LOG_TEXT and WM_RUN_FINISHED
    EventLogRef* eventLog;
};

inline constexpr wchar_t kVisualStudioSetupKey[] = L"Software\\Microsoft\\VisualStudio\\6.0\\Setup";
inline constexpr wchar_t kVisualStudioFolderValue[] = L"VsCommonDir";
inline constexpr wchar_t kNotInstalled[] = L"<not installed>";

class BuildController {
public:
    // Stores both in the run settings (the folder is kept by pointer and must outlive the run),
    // sets the Visual Studio folder to "<not installed>" and the version numbers to 0.
    BuildController(PackageDocument& document, const wchar_t* temporaryFolder);
    virtual ~BuildController() = default;
    BuildController(const BuildController&) = delete;
    BuildController& operator=(const BuildController&) = delete;

    // Reads VsCommonDir from HKLM\Software\Microsoft\VisualStudio\6.0\Setup. A missing key or
    // value leaves "<not installed>". Always true.
    bool ReadVisualStudioLocation();

    // Replaces the whole action set with these four build actions.
    void SetBuildActions(bool debug, bool release, bool rebuildAll, bool clean);

    // When enabled, adds ActionAutoIncrement or ActionSetVersion and stores the four numbers;
    // otherwise changes nothing. Call after SetBuildActions.
    void SetVersionAction(bool enabled, bool autoIncrement, std::uint32_t major, std::uint32_t minor,
                          std::uint32_t build, std::uint32_t revision);

    // 0: the worker runs and will post WM_RUN_FINISHED exactly once, after the summary lines.
    // -1: nothing to do (neither a build nor a version action), nothing started. -2: the job or
    // the worker thread could not be made, or a run is still going; nothing will be posted.
    int StartRun(const int* targets, HWND window, EventLogRef* eventLog);

    // Stops the run in progress, if any, from any thread (a console control handler too): the
    // current builder's process tree is ended, the remaining steps are skipped, its log files are
    // deleted, "Run stopped." and the summary are posted, then WM_RUN_FINISHED as always.
    // Returns at once; the run ends shortly after.
    static void StopRun();


    // What the last run came to; complete once WM_RUN_FINISHED has arrived.
    static const RunOutcome& LastOutcome();

    // A builder running longer than this is ended and its target fails; 0 (the default): no limit.
    void SetBuilderTimeout(DWORD seconds);
    // Where the runner gets its event, thread and processes from; null: the system.
    void SetProcessLauncher(ProcessLauncher* launcher);
    // A target the front end leaves out (no usable ProjectID): counted as not run in the next
    // run's outcome and summary.
    void AddNotRunTarget(int projectId, const std::wstring& name, const std::wstring& reason);
};

inline constexpr int kStartRefused = -1;
inline constexpr int kStartFailed = -2;

// Thread procedure of the worker; argument: the BuildJob.
unsigned __stdcall BuildWorker(void* job);

// The worker's steps in their fixed order, each over all targets, read from the run settings:
// stamping, Visual C++ Debug, Visual C++ Release, Visual Basic (once), Visual C++ clean; a stop
// skips the rest. The summary and WM_RUN_FINISHED are the worker's.
void RunBuildSteps(const int* targets, HWND window, HWND listBox);

}  // namespace kw
