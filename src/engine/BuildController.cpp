#include "engine/BuildController.h"

#include "engine/BuildSteps.h"
#include "engine/LogText.h"
#include "engine/ProcessRunner.h"
#include "engine/StampVersions.h"
#include "win/Text.h"

#include <objbase.h>
#include <process.h>

#include <exception>

namespace kw {

// Everything the worker uses, owned by the controller until the worker has ended.
struct BuildController::Work {
    RunJob job;
    RunContext context;
    RunOutcome outcome;
    std::atomic<bool> announced{false};  // WM_RUN_FINISHED was posted
};

BuildController::BuildController(ProcessLauncher* launcher)
    : launcher_(launcher), stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), jobObject_(MakeKillOnCloseJob()) {}

BuildController::~BuildController() {
    StopRun();
    // Every builder is in the job the stop ended, so the worker is never held up for long.
    if (thread_.Valid()) WaitForSingleObject(thread_.Get(), INFINITE);
}

int BuildController::StartRun(RunJob job, HWND window, HWND listBox) {
    if (!job.HasSomethingToDo()) return kStartRefused;
    if (Running() || !stopEvent_.Valid()) return kStartFailed;
    WaitForEnd(INFINITE);  // a worker that has ended but was not joined yet

    auto work = std::make_unique<Work>();
    work->context.window = window;
    work->context.listBox = listBox;
    work->context.stopEvent = stopEvent_.Get();
    work->context.jobObject = jobObject_.Get();
    work->context.launcher = launcher_;
    work->context.builderTimeoutMs = job.builderTimeoutSeconds * 1000;
    work->context.jobPerBuilder = job.parallelBuilds > 1;
    work->job = std::move(job);
    ResetEvent(stopEvent_.Get());

    uintptr_t thread = _beginthreadex(nullptr, 0, Worker, work.get(), 0, nullptr);
    if (thread == 0) return kStartFailed;
    outcome_ = RunOutcome{};
    work_ = std::move(work);
    thread_.Reset(reinterpret_cast<HANDLE>(thread));
    return 0;
}

void BuildController::StopRun() {
    // Only the two handles, fixed for the controller's life, are touched: safe from any thread.
    // Idle, nothing happens: the next StartRun resets the event, and the job holds no process.
    if (stopEvent_.Valid()) SetEvent(stopEvent_.Get());
    // The runner sees the event too, but ending the builders here does not wait for it.
    if (jobObject_.Valid()) TerminateJobObject(jobObject_.Get(), ERROR_CANCELLED);
}

bool BuildController::Running() const {
    return thread_.Valid() && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT;
}

bool BuildController::WaitForEnd(DWORD ms) {
    if (!thread_.Valid()) return true;
    if (WaitForSingleObject(thread_.Get(), ms) != WAIT_OBJECT_0) return false;
    thread_.Reset();
    if (work_) outcome_ = std::move(work_->outcome);
    return true;
}

const RunJob& BuildController::Job() const {
    static const RunJob none;
    return work_ ? work_->job : none;
}

bool BuildController::EndedUnannounced() const {
    return work_ && !work_->announced.load() && !Running();
}

void RunBuildSteps(const RunJob& job, const RunContext& run, RunOutcome& outcome) {
    const ActionSet actions = job.actions;
    if (!job.visualStudioProblem.empty() && (actions & (ActionDebug | ActionRelease | ActionClean))) {
        PostRunLine(run, job.visualStudioProblem);
    }
    if (actions & (ActionSetVersion | ActionAutoIncrement)) StampVersions(job, run, outcome);
    if (run.StopRequested()) return;
    if (actions & ActionDebug) BuildVisualCppProjects(job, run, outcome, ActionDebug);
    if (run.StopRequested()) return;
    if (actions & ActionRelease) BuildVisualCppProjects(job, run, outcome, ActionRelease);
    if (run.StopRequested()) return;
    if (actions & (ActionDebug | ActionRelease)) BuildVisualBasicProjects(job, run, outcome);
    if (run.StopRequested()) return;
    if (actions & ActionClean) BuildVisualCppProjects(job, run, outcome, ActionClean);
}

unsigned __stdcall BuildController::Worker(void* argument) {
    auto* work = static_cast<Work*>(argument);
    const RunJob& job = work->job;
    const RunContext& run = work->context;
    RunOutcome& outcome = work->outcome;
    outcome.started = RunTimeNow();
    // Nothing may leave this thread: the window would wait for WM_RUN_FINISHED for ever.
    try {
        for (const std::wstring& line : job.setupLines) PostRunLine(run, line);
        outcome.targets = job.notRun;
        // Every target has its place in the summary, whether a step reaches it or not.
        for (const RunTarget& target : job.targets) outcome.Target(target.projectId, target.record.name);
        RunBuildSteps(job, run, outcome);
    } catch (const std::exception& failure) {
        outcome.failure = FromUtf8(failure.what());
    } catch (...) {
        outcome.failure = L"unknown failure";
    }
    try {
        if (!outcome.failure.empty()) {
            PostRunLine(run, L"The run failed: " + outcome.failure + L"; the remaining steps were skipped.");
        }
        if (run.StopRequested()) {
            outcome.stopped = true;
            PostRunLine(run, L"Run stopped.");
        }
        // The summary tells the wall time, so the run has ended before it.
        outcome.ended = RunTimeNow();
        for (const std::wstring& line : outcome.SummaryLines()) PostRunLine(run, line);
        if (job.parallelBuilds > 1) PostRunLine(run, ParallelBuildsLine(outcome, job.parallelBuilds));
    } catch (...) {
        // Out of memory for the summary itself: the run still ends.
    }
    if (outcome.ended == 0) outcome.ended = RunTimeNow();
    work->announced = PostRunFinished(run.window);
    return 0;
}

}  // namespace kw
