#include "engine/ProcessLauncher.h"

#include <process.h>

namespace kw {

KernelHandle ProcessLauncher::CreateDoneEvent() { return KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

KernelHandle ProcessLauncher::StartRunnerThread(ThreadProcedure procedure, void* argument) {
    return KernelHandle(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, procedure, argument, 0, nullptr)));
}

BOOL ProcessLauncher::StartProcess(wchar_t* commandLine, const wchar_t* folder, DWORD flags,
                                   PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, flags, nullptr, folder, &startup, &process);
}

ProcessLauncher& SystemProcessLauncher() {
    static ProcessLauncher launcher;
    return launcher;
}

}  // namespace kw
