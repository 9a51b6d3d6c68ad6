#include "engine/BuildSteps.h"

#include "engine/BuildCommands.h"
#include "engine/ProcessRunner.h"
#include "engine/RunProgress.h"
#include "engine/StepRecorder.h"
#include "win/Text.h"

namespace kw {

namespace {

// Each runner's own: the thread that composes the command names the log.
std::wstring CurrentLogPath(const RunJob& job) {
    return LogFilePath(job.temporaryFolder, static_cast<long>(GetCurrentThreadId()));
}

}  // namespace

StepOutcome BuildVisualCppTarget(const RunJob& job, const RunTarget& target, const RunContext& run, ActionSet mode) {
    PostProgress(run, target.projectId, mode);
    const ProjectRecord& record = target.record;
    const std::wstring logPath = CurrentLogPath(job);
    BuildCommandInput input;
    input.visualStudioFolder = job.visualStudioFolder;
    input.projectName = record.name;
    input.sourceFolder = record.sourceLocation;
    input.configuration = mode == ActionRelease ? record.releaseConfig : record.debugConfig;
    input.logPath = logPath;
    const bool rebuildAll = (job.actions & ActionRebuildAll) != 0;
    StepRecorder recorder(run, mode == ActionClean     ? StepKind::Clean
                               : mode == ActionRelease ? StepKind::Release
                                                       : StepKind::Debug);
    BuilderResult result = RunBuilder(recorder.Run(), ComposeVisualCppCommandLine(input, mode, rebuildAll),
                                      record.sourceLocation, logPath);
    std::wstring what = mode == ActionClean ? std::wstring(L"clean") : std::wstring(input.configuration);
    StepOutcome step = recorder.Finish(JudgeBuilder(result, std::move(what), L"IDE"));
    PostProgress(run, target.projectId, mode, step);
    return step;
}

StepOutcome BuildVisualBasicTarget(const RunJob& job, const RunTarget& target, const RunContext& run) {
    const ProjectRecord& record = target.record;
    const std::wstring logPath = CurrentLogPath(job);
    BuildCommandInput input;
    input.visualStudioFolder = job.visualStudioFolder;
    input.projectName = record.name;
    input.sourceFolder = record.sourceLocation;
    input.logPath = logPath;
    std::wstring commandLine = ComposeVisualBasicCommandLine(input);
    PostProgress(run, target.projectId, kBasicStep);
    StepRecorder recorder(run, StepKind::VisualBasic);
    PostRunLine(recorder.Run(), L"Building " + record.name + L" ...");
    BuilderResult result = RunBuilder(recorder.Run(), std::move(commandLine), record.sourceLocation, logPath);
    StepOutcome step = recorder.Finish(JudgeBuilder(result, L"", L"compiler"));
    PostProgress(run, target.projectId, kBasicStep, step);
    return step;
}

int BuildVisualCppProjects(const RunJob& job, const RunContext& run, RunOutcome& outcome, ActionSet mode) {
    for (const RunTarget& target : job.targets) {
        if (run.StopRequested()) break;
        if (target.record.compilerKind != CompilerVC6) continue;
        StepOutcome step = BuildVisualCppTarget(job, target, run, mode);
        outcome.Target(target.projectId, target.record.name).steps.push_back(std::move(step));
    }
    return 0;
}

int BuildVisualBasicProjects(const RunJob& job, const RunContext& run, RunOutcome& outcome) {
    for (auto target = job.targets.begin(); target != job.targets.end() && !run.StopRequested(); ++target) {
        const ProjectRecord& record = target->record;
        // Checked before the kind: an unnamed or folderless project of any kind ends the step.
        if (record.name.empty() || record.sourceLocation.empty()) {
            std::wstring name = record.name.empty() ? L"Project " + std::to_wstring(target->projectId) : record.name;
            StepRecorder recorder(run, StepKind::VisualBasic);
            PostRunLine(recorder.Run(), name + L" has no name or source folder; the Visual Basic builds end here.");
            StepOutcome failed{StepOutcome::Failed, L"", L"no name or source folder"};
            StepOutcome finished = recorder.Finish(std::move(failed));
            PostProgress(run, target->projectId, kBasicStep, finished);
            outcome.Target(target->projectId, record.name).steps.push_back(std::move(finished));
            // Say so for every Visual Basic project the step leaves out.
            for (auto rest = target + 1; rest != job.targets.end(); ++rest) {
                if (rest->record.compilerKind != CompilerVB6) continue;
                StepOutcome notRun{StepOutcome::NotRun, L"", L"not built: the Visual Basic builds ended early"};
                notRun.kind = StepKind::VisualBasic;
                outcome.Target(rest->projectId, rest->record.name).steps.push_back(std::move(notRun));
            }
            return -1;
        }
        if (record.compilerKind != CompilerVB6) continue;
        StepOutcome step = BuildVisualBasicTarget(job, *target, run);
        outcome.Target(target->projectId, record.name).steps.push_back(std::move(step));
    }
    return 0;
}

}  // namespace kw
