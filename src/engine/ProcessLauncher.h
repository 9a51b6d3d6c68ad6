// The seam through which the runner starts what it needs from the system: its event, its thread
// and the builder's process. Production uses the system's; tests inject one that fails or throws
// (BuildController::SetProcessLauncher).
#pragma once

#include "win/Handles.h"

#include <windows.h>

namespace kw {

class ProcessLauncher {
public:
    using ThreadProcedure = unsigned(__stdcall*)(void*);

    virtual ~ProcessLauncher() = default;
    // A manual-reset event, not signalled, unnamed; empty on failure.
    virtual KernelHandle CreateDoneEvent();
    // The runner thread, running at once; empty on failure.
    virtual KernelHandle StartRunnerThread(ThreadProcedure procedure, void* argument);
    // CreateProcessW with no application name, no inheritance and the parent's environment.
    virtual BOOL StartProcess(wchar_t* commandLine, const wchar_t* folder, DWORD flags,
                              PROCESS_INFORMATION& process);
};

ProcessLauncher& SystemProcessLauncher();

}  // namespace kw
