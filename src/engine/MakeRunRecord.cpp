#include "engine/MakeRunRecord.h"

#include "win/Text.h"

#include <algorithm>

namespace kw {

namespace {

// The steps the worker would take for a target, in its order.
std::vector<StepKind> PlannedSteps(ActionSet actions, CompilerKind kind) {
    std::vector<StepKind> steps;
    if (actions & (ActionSetVersion | ActionAutoIncrement)) steps.push_back(StepKind::Version);
    if (kind == CompilerVC6 && (actions & ActionDebug)) steps.push_back(StepKind::Debug);
    if (kind == CompilerVC6 && (actions & ActionRelease)) steps.push_back(StepKind::Release);
    if (kind == CompilerVB6 && (actions & (ActionDebug | ActionRelease))) steps.push_back(StepKind::VisualBasic);
    if (kind == CompilerVC6 && (actions & ActionClean)) steps.push_back(StepKind::Clean);
    return steps;
}

std::wstring WhatOf(StepKind kind, const ProjectRecord& project) {
    switch (kind) {
    case StepKind::Version: return L"version";
    case StepKind::Debug: return project.debugConfig;
    case StepKind::Release: return project.releaseConfig;
    case StepKind::VisualBasic: return L"Visual Basic";
    case StepKind::Clean: return L"clean";
    }
    return {};
}

long long MsSince(RunTime start, RunTime at) {
    return at >= start ? static_cast<long long>((at - start) / 10000) : 0;
}

StepRecord RecordOf(const StepOutcome& step, const RunOutcome& outcome, const RunJob& job) {
    StepRecord record;
    record.kind = step.kind;
    record.what = step.what;
    if (record.what.empty() && step.kind == StepKind::Version) record.what = L"version";
    if (record.what.empty() && step.kind == StepKind::VisualBasic) record.what = L"Visual Basic";
    const bool began = step.started != 0 && outcome.started != 0;
    if (began) {
        record.startMs = MsSince(outcome.started, step.started);
        record.endMs = std::max(record.startMs, MsSince(outcome.started, step.ended));
    }
    record.verdictText = step.detail;
    switch (step.result) {
    case StepOutcome::Succeeded: record.verdict = StepRecord::Succeeded; break;
    case StepOutcome::NotStarted: record.verdict = StepRecord::NotStarted; break;
    case StepOutcome::Failed:
        record.verdict = step.timedOut ? StepRecord::TimedOut : StepRecord::Failed;
        if (step.timedOut) record.verdictText = FormatW(L"after %lu s", job.builderTimeoutSeconds);
        break;
    case StepOutcome::NotRun:
        // A step that had begun was cut short by the stop.
        record.verdict = began ? StepRecord::Stopped : StepRecord::NotRun;
        if (began && record.verdictText == L"stopped") record.verdictText.clear();
        // The summary's detail already says "not run: ..."; the verdict words add that themselves.
        if (constexpr std::wstring_view said = L"not run: "; record.verdictText.rfind(said, 0) == 0) {
            record.verdictText.erase(0, said.size());
        }
        break;
    }
    record.errors = step.errors;
    record.warnings = step.warnings;
    record.lines = step.log.Lines();
    return record;
}

SYSTEMTIME LocalTimeOf(RunTime time) {
    FILETIME utc{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)}, local{};
    SYSTEMTIME result{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &result)) GetLocalTime(&result);
    return result;
}

}  // namespace

RunRecord MakeRunRecord(const RunJob& job, const RunOutcome& outcome) {
    RunRecord record;
    record.packageName = job.packageName;
    record.packagePath = job.packagePath;
    record.started = LocalTimeOf(outcome.started ? outcome.started : RunTimeNow());
    record.durationMs = outcome.WallTimeMs();
    record.actions = DescribeActions(job.actions, job.version);
    record.stopped = outcome.stopped;
    record.summary = outcome.SummaryLines();
    if (!outcome.failure.empty()) record.summary.push_back(L"The run failed: " + outcome.failure + L".");
    const std::wstring missedWhy = outcome.stopped ? L"the run was stopped" : L"the run ended before it";

    std::vector<std::wstring> versions;
    for (const TargetOutcome& target : outcome.targets) {
        TargetRecord targetRecord;
        targetRecord.projectId = target.projectId;
        targetRecord.name = target.name;
        targetRecord.notRunReason = target.notRunReason;
        targetRecord.stampedVersion = target.stampedVersion;
        if (!target.stampedVersion.empty() &&
            std::find(versions.begin(), versions.end(), target.stampedVersion) == versions.end()) {
            versions.push_back(target.stampedVersion);
        }
        const RunTarget* planned = nullptr;
        if (target.notRunReason.empty()) {
            for (const RunTarget& candidate : job.targets) {
                if (candidate.projectId == target.projectId) planned = &candidate;
            }
        }
        if (planned) targetRecord.kind = planned->record.compilerKind;
        for (const StepOutcome& step : target.steps) targetRecord.steps.push_back(RecordOf(step, outcome, job));
        // Planned steps the run never reached are named as not run.
        if (planned) {
            for (StepKind kind : PlannedSteps(job.actions, planned->record.compilerKind)) {
                auto same = [kind](const StepOutcome& step) { return step.kind == kind; };
                if (std::any_of(target.steps.begin(), target.steps.end(), same)) continue;
                StepRecord missed;
                missed.kind = kind;
                missed.what = WhatOf(kind, planned->record);
                missed.verdict = StepRecord::NotRun;
                missed.verdictText = missedWhy;
                targetRecord.steps.push_back(std::move(missed));
            }
        }
        record.targets.push_back(std::move(targetRecord));
    }
    for (size_t i = 0; i < versions.size(); ++i) record.versions += (i ? L", " : L"") + versions[i];
    return record;
}

}  // namespace kw
