#include "engine/RunProgress.h"

namespace kw {

void PostProgress(const RunContext& run, int projectId, ActionSet step, ProgressEvent event) {
    if (!run.window) return;
    PostMessageW(run.window, WM_RUN_PROGRESS, static_cast<WPARAM>(static_cast<unsigned>(projectId)),
                 static_cast<LPARAM>(step | static_cast<unsigned>(event) << 8));
}

void PostProgress(const RunContext& run, int projectId, ActionSet step, const StepOutcome& outcome) {
    // A step a stop cut short isn't a failure of the target.
    const bool failed = outcome.result == StepOutcome::Failed || outcome.result == StepOutcome::NotStarted;
    PostProgress(run, projectId, step, failed ? ProgressEvent::Failed : ProgressEvent::Succeeded);
}

RunProgress::RunProgress(const RunJob& job) {
    const ActionSet actions = job.actions;
    int stamps = 0;
    for (const RunTarget& target : job.targets) {
        const ProjectRecord& record = target.record;
        targets_[target.projectId] = {record.name, record.debugConfig, record.releaseConfig};
        if (actions & (ActionSetVersion | ActionAutoIncrement)) ++stamps;
        if (record.compilerKind == CompilerVC6) {
            for (ActionSet step : {ActionDebug, ActionRelease, ActionClean}) planned_ += (actions & step) ? 1 : 0;
        } else if (record.compilerKind == CompilerVB6 && (actions & kBasicStep)) {
            ++planned_;
        }
    }
    // Builders take the time; stamps pass in a blink and would make the count run ahead.
    if (planned_ == 0) {
        countsStamps_ = true;
        planned_ = stamps;
    }
}

void RunProgress::Note(WPARAM wParam, LPARAM lParam) {
    const int projectId = static_cast<int>(static_cast<unsigned>(wParam));
    const auto step = static_cast<ActionSet>(lParam & 0xFF);
    const auto event = static_cast<ProgressEvent>((lParam >> 8) & 0xFF);
    if (event == ProgressEvent::Failed) failed_ = true;
    const bool counted = Counted(step);
    if (event != ProgressEvent::Started) {
        if (counted) ++ended_;
        return;
    }
    const auto found = targets_.find(projectId);
    const bool known = found != targets_.end();
    std::wstring name = known ? found->second.name : std::wstring();
    if (name.empty()) name = L"Project " + std::to_wstring(projectId);
    std::wstring what;
    switch (step) {
    case ActionDebug: what = known ? found->second.debug : L"Debug"; break;
    case ActionRelease: what = known ? found->second.release : L"Release"; break;
    case ActionClean: what = L"clean"; break;
    case kBasicStep: what = L"Visual Basic"; break;
    default: what = L"version"; break;
    }
    text_ = name + L" (" + what + L")";
    if (counted) {
        ++started_;
        text_ = std::to_wstring(started_) + L" of " + std::to_wstring(planned_) + L" - " + text_;
    }
}

}  // namespace kw
