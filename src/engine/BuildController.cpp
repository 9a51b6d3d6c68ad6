#include "engine/BuildController.h"

#include "engine/BuildSteps.h"
#include "engine/LogText.h"
#include "engine/StampVersions.h"

#include <objbase.h>
#include <process.h>

#include <cwchar>

namespace kw {

BuildController::BuildController(PackageDocument& document, const wchar_t* temporaryFolder) {
    RunSettings& settings = TheRunSettings();
    settings.document = &document;
    settings.temporaryFolder = temporaryFolder;
    wcscpy_s(settings.VisualStudioFolder, kVisualStudioFolderChars, kNotInstalled);
    settings.version = VersionQuad{};
}

bool BuildController::ReadVisualStudioLocation() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVisualStudioSetupKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
    RunSettings& settings = TheRunSettings();
    // Read into a buffer of our own so a failed or oversized query leaves the folder as it was,
    // and the result is always terminated.
    wchar_t folder[kVisualStudioFolderChars] = {};
    DWORD bytes = sizeof(folder) - sizeof(wchar_t);
    if (RegQueryValueExW(key, kVisualStudioFolderValue, nullptr, nullptr, reinterpret_cast<BYTE*>(folder), &bytes) ==
        ERROR_SUCCESS) {
        folder[bytes / sizeof(wchar_t)] = L'\0';
        wcscpy_s(settings.VisualStudioFolder, kVisualStudioFolderChars, folder);
    }
    RegCloseKey(key);
    return true;
}

void BuildController::SetBuildActions(bool debug, bool release, bool rebuildAll, bool clean) {
    ActionSet actions = 0;
    if (debug) actions |= ActionDebug;
    if (release) actions |= ActionRelease;
    if (rebuildAll) actions |= ActionRebuildAll;
    if (clean) actions |= ActionClean;
    TheRunSettings().actions = actions;
}

void BuildController::SetVersionAction(bool enabled, bool autoIncrement, std::uint32_t major, std::uint32_t minor,
                                       std::uint32_t build, std::uint32_t revision) {
    if (!enabled) return;
    RunSettings& settings = TheRunSettings();
    settings.actions |= autoIncrement ? ActionAutoIncrement : ActionSetVersion;
    settings.version = VersionQuad{major, minor, build, revision};
}

int BuildController::StartRun(const int* targets, HWND window, EventLogRef* eventLog) {
    constexpr ActionSet kSomethingToDo = ActionDebug | ActionRelease | ActionSetVersion | ActionAutoIncrement;
    if ((TheRunSettings().actions & kSomethingToDo) == 0) return kStartRefused;

    auto* job = static_cast<BuildJob*>(CoTaskMemAlloc(sizeof(BuildJob)));
    if (!job) return kStartFailed;
    job->controller = this;
    job->targets = targets;
    job->window = window;
    job->eventLog = eventLog;

    uintptr_t thread = _beginthreadex(nullptr, 0, BuildWorker, job, 0, nullptr);
    if (thread == 0) {
        CoTaskMemFree(job);
        return kStartFailed;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 0;
}

const VersionQuad& BuildController::CurrentVersion() const { return TheRunSettings().version; }

void RunBuildSteps(const int* targets, HWND window, HWND listBox) {
    // The action set is read afresh before each step.
    const RunSettings& settings = TheRunSettings();
    if (settings.actions & (ActionSetVersion | ActionAutoIncrement)) StampVersions(targets, window, listBox);
    if (settings.actions & ActionDebug) BuildVisualCppProjects(targets, window, listBox, ActionDebug);
    if (settings.actions & ActionRelease) BuildVisualCppProjects(targets, window, listBox, ActionRelease);
    if (settings.actions & (ActionDebug | ActionRelease)) BuildVisualBasicProjects(targets, window, listBox);
    if (settings.actions & ActionClean) BuildVisualCppProjects(targets, window, listBox, ActionClean);
}

unsigned __stdcall BuildWorker(void* argument) {
    auto* job = static_cast<BuildJob*>(argument);
    // The steps only call the package document's objects directly and use the task allocator;
    // a multithreaded apartment keeps any COM they touch legal on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND listBox = job->eventLog ? job->eventLog->listBox : nullptr;
    RunBuildSteps(job->targets, job->window, listBox);
    PostRunFinished(job->window);
    if (SUCCEEDED(com)) CoUninitialize();
    CoTaskMemFree(job);
    return 0;
}

}  // namespace kw

namespace kw {
// Placeholder until runs can be stopped; the engine's stop replaces it.
void BuildController::StopRun() {}
}  // namespace kw
