// The controller owns a run: its worker thread, its stop event and the job object every builder
// of the run is kept in. A front end sets up a RunJob (RunSetup.h), hands it to StartRun and keeps
// the controller until the run has finished; destroying the controller stops the run and waits
// for its worker, so nothing the worker uses can be freed under it.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunJob.h"
#include "engine/RunOutcome.h"
#include "win/Handles.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace kw {

class ProcessLauncher;

inline constexpr int kStartRefused = -1;
inline constexpr int kStartFailed = -2;

class BuildController {
public:
    // launcher: where the runners get their event, thread and processes from; null: the system.
    explicit BuildController(ProcessLauncher* launcher = nullptr);
    // Stops a run still going and waits for its worker.
    virtual ~BuildController();
    BuildController(const BuildController&) = delete;
    BuildController& operator=(const BuildController&) = delete;

    // Moves the job into a new worker, which posts its lines and then WM_RUN_FINISHED exactly
    // once to window. 0: started. kStartRefused: the job has nothing to do; nothing started.
    // kStartFailed: a run of this controller is still going (it is left alone), or the worker
    // could not be started; nothing will be posted.
    int StartRun(RunJob job, HWND window, HWND listBox);

    // From any thread (a console control handler too): ends every builder of the run at once and
    // skips the remaining steps; "Run stopped." and the summary follow, then WM_RUN_FINISHED.
    // Nothing happens when no run is going.
    void StopRun();

    // A run was started and its worker has not ended yet.
    bool Running() const;
    // Waits up to ms for the worker to end; true once it has (or none was started).
    bool WaitForEnd(DWORD ms);
    // The worker has ended and its WM_RUN_FINISHED could not be posted: the front end must end
    // the run on its own side.
    bool EndedUnannounced() const;

    // What the last run came to. Complete once the worker has ended (WaitForEnd); empty before.
    const RunOutcome& Outcome() const { return outcome_; }
    // The last run's job, as the worker had it; an empty job before the first.
    const RunJob& Job() const;

private:
    struct Work;
    static unsigned __stdcall Worker(void* work);

    ProcessLauncher* launcher_;
    KernelHandle stopEvent_;
    KernelHandle jobObject_;
    KernelHandle thread_;
    std::unique_ptr<Work> work_;
    RunOutcome outcome_;
};

// The worker's steps in their fixed order, each over all targets: stamping, Visual C++ Debug,
// Visual C++ Release, Visual Basic (once), Visual C++ clean; a stop skips the rest. Fills
// outcome; the summary and WM_RUN_FINISHED are the worker's.
void RunBuildSteps(const RunJob& job, const RunContext& run, RunOutcome& outcome);

}  // namespace kw
