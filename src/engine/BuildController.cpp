#include "engine/BuildController.h"

#include "engine/BuildSteps.h"
#include "engine/LogText.h"
#include "engine/RunControl.h"
#include "engine/StampVersions.h"
#include "package/PackageDocument.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <objbase.h>
#include <process.h>

#include <atomic>
#include <cwchar>
#include <exception>
#include <vector>

namespace kw {

namespace {

std::atomic<bool> gRunActive{false};
std::atomic<bool> gStopRequested{false};
// Targets the front end left out before the run; they head the next run's outcome.
std::vector<TargetOutcome> gNotRun;

}  // namespace

HANDLE RunStopEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

bool RunStopRequested() { return gStopRequested.load(); }

RunOutcome& TheRunOutcome() {
    static RunOutcome outcome;
    return outcome;
}

BuildController::BuildController(PackageDocument& document, const wchar_t* temporaryFolder) {
    RunSettings& settings = TheRunSettings();
    settings.document = &document;
    settings.temporaryFolder = temporaryFolder;
    wcscpy_s(settings.VisualStudioFolder, kVisualStudioFolderChars, kNotInstalled);
    settings.visualStudioProblem.clear();
    settings.version = VersionQuad{};
    gNotRun.clear();
}

bool BuildController::ReadVisualStudioLocation() {
    RegKeyHandle key;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVisualStudioSetupKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) return true;
    key.Reset(opened);
    RunSettings& settings = TheRunSettings();
    const std::wstring where = L"The Visual Studio folder in the registry (" + std::wstring(kVisualStudioFolderValue) + L")";
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), kVisualStudioFolderValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) {
        return true;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        settings.visualStudioProblem = where + L" is not a text value; it is not used.";
        return true;
    }
    std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.Get(), kVisualStudioFolderValue, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS) {
        return true;
    }
    value.back() = L'\0';
    std::wstring folder(value.data());
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsW(folder.c_str(), nullptr, 0);
        std::vector<wchar_t> expanded(needed + 1, L'\0');
        if (needed && ExpandEnvironmentStringsW(folder.c_str(), expanded.data(), needed + 1)) folder = expanded.data();
    }
    if (folder.size() >= static_cast<size_t>(kVisualStudioFolderChars)) {
        settings.visualStudioProblem = where + FormatW(L" is %u characters long, more than %d; it is not used.",
                                                       static_cast<unsigned>(folder.size()), kVisualStudioFolderChars - 1);
        return true;
    }
    wcscpy_s(settings.VisualStudioFolder, kVisualStudioFolderChars, folder.c_str());
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

void BuildController::SetBuilderTimeout(DWORD seconds) { TheRunSettings().builderTimeoutSeconds = seconds; }

void BuildController::SetProcessLauncher(ProcessLauncher* launcher) { TheRunSettings().launcher = launcher; }

void BuildController::AddNotRunTarget(int projectId, const std::wstring& name, const std::wstring& reason) {
    TargetOutcome target;
    target.projectId = projectId;
    target.name = name;
    target.notRunReason = reason;
    gNotRun.push_back(std::move(target));
}

int BuildController::StartRun(const int* targets, HWND window, EventLogRef* eventLog) {
    constexpr ActionSet kSomethingToDo = ActionDebug | ActionRelease | ActionSetVersion | ActionAutoIncrement;
    if ((TheRunSettings().actions & kSomethingToDo) == 0) return kStartRefused;
    if (!RunStopEvent() || gRunActive.load()) return kStartFailed;

    auto* job = static_cast<BuildJob*>(CoTaskMemAlloc(sizeof(BuildJob)));
    if (!job) return kStartFailed;
    job->controller = this;
    job->targets = targets;
    job->window = window;
    job->eventLog = eventLog;

    TheRunOutcome() = RunOutcome{};
    TheRunOutcome().targets = gNotRun;
    gNotRun.clear();
    gStopRequested = false;
    ResetEvent(RunStopEvent());
    gRunActive = true;
    uintptr_t thread = _beginthreadex(nullptr, 0, BuildWorker, job, 0, nullptr);
    if (thread == 0) {
        gRunActive = false;
        CoTaskMemFree(job);
        return kStartFailed;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 0;
}

void BuildController::StopRun() {
    if (!gRunActive.load()) return;
    gStopRequested = true;
    SetEvent(RunStopEvent());
}

const RunOutcome& BuildController::LastOutcome() { return TheRunOutcome(); }

void RunBuildSteps(const int* targets, HWND window, HWND listBox) {
    // The action set is read afresh before each step; a stop skips what is left.
    const RunSettings& settings = TheRunSettings();
    if (!settings.visualStudioProblem.empty() && (settings.actions & (ActionDebug | ActionRelease | ActionClean))) {
        PostLogLine(settings.visualStudioProblem, window, listBox);
    }
    if (settings.actions & (ActionSetVersion | ActionAutoIncrement)) StampVersions(targets, window, listBox);
    if (RunStopRequested()) return;
    if (settings.actions & ActionDebug) BuildVisualCppProjects(targets, window, listBox, ActionDebug);
    if (RunStopRequested()) return;
    if (settings.actions & ActionRelease) BuildVisualCppProjects(targets, window, listBox, ActionRelease);
    if (RunStopRequested()) return;
    if (settings.actions & (ActionDebug | ActionRelease)) BuildVisualBasicProjects(targets, window, listBox);
    if (RunStopRequested()) return;
    if (settings.actions & ActionClean) BuildVisualCppProjects(targets, window, listBox, ActionClean);
}

unsigned __stdcall BuildWorker(void* argument) {
    auto* job = static_cast<BuildJob*>(argument);
    // The steps call the package document's objects directly from this thread. That works
    // because the document was created as a free-threaded ("rental") object: it carries no
    // apartment affinity, so no proxy is needed and any thread may call it while no other does.
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND listBox = job->eventLog ? job->eventLog->listBox : nullptr;
    RunOutcome& outcome = TheRunOutcome();
    // Nothing may leave this thread: the window would wait for WM_RUN_FINISHED for ever.
    try {
        // Every target has its place in the summary, whether a step reaches it or not.
        for (const int* target = job->targets; target && *target != 0; ++target) {
            ProjectRecord record;
            if (PackageDocument* document = TheRunSettings().document) document->GetProjectSettings(*target, record);
            outcome.Target(*target, record.name);
        }
        RunBuildSteps(job->targets, job->window, listBox);
    } catch (const std::exception& failure) {
        outcome.failure = FromUtf8(failure.what());
    } catch (...) {
        outcome.failure = L"unknown failure";
    }
    try {
        if (!outcome.failure.empty()) {
            PostLogLine(L"The run failed: " + outcome.failure + L"; the remaining steps were skipped.", job->window,
                        listBox);
        }
        if (RunStopRequested()) {
            outcome.stopped = true;
            PostLogLine(L"Run stopped.", job->window, listBox);
        }
        for (const std::wstring& line : outcome.SummaryLines()) PostLogLine(line, job->window, listBox);
    } catch (...) {
        // Out of memory for the summary itself: the run still ends.
    }
    gRunActive = false;
    PostRunFinished(job->window);
    if (SUCCEEDED(com)) CoUninitialize();
    CoTaskMemFree(job);
    return 0;
}

}  // namespace kw
