// What the threads of one run share, fixed while it runs: where its text goes, how it is stopped
// and where its builders are kept. The BuildController owns the handles and outlives every thread
// that reads them; the worker and the runners only read.
#pragma once

#include "engine/ProcessLauncher.h"

#include <windows.h>

namespace kw {

class StepLog;

struct RunContext {
    HWND window = nullptr;        // receiver of WM_LOG_TEXT and WM_RUN_FINISHED
    HWND listBox = nullptr;       // named in every LogText
    HANDLE stopEvent = nullptr;   // manual reset: set once the run is to stop
    HANDLE jobObject = nullptr;   // every builder of the run goes in; null when none could be made
    // With several builders at once each gets a job object of its own instead, so that a time-out
    // ends that builder's tree alone (the run's job then takes one only when the system refuses).
    bool jobPerBuilder = false;
    ProcessLauncher* launcher = nullptr;  // null: the system's
    DWORD builderTimeoutMs = 0;   // 0: no limit
    // The step's own copy of the context names where its lines are kept for the run's records.
    StepLog* stepLog = nullptr;
    int lineTag = 0;              // ProjectID each line starts with ("3>"); 0: lines go untagged

    bool StopRequested() const { return stopEvent && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0; }
    ProcessLauncher& Launcher() const { return launcher ? *launcher : SystemProcessLauncher(); }

    // The same run as one target's lines see it: tagged with its ProjectID when several builders
    // share the log, so that each line still says whose it is.
    RunContext ForTarget(int projectId, bool tagged) const {
        RunContext target = *this;
        target.lineTag = tagged ? projectId : 0;
        return target;
    }
};

}  // namespace kw
