#include "engine/StampVersions.h"

#include "engine/ProcessRunner.h"
#include "engine/RunProgress.h"
#include "engine/StepRecorder.h"
#include "resource.h"
#include "version/StampFile.h"
#include "version/VersionRules.h"
#include "win/Text.h"


namespace kw {

namespace {

std::wstring VersionatingLine(const std::wstring& title, const std::wstring& path, CompilerKind kind,
                              ActionSet actions, const VersionQuad& v) {
    std::wstring line = title + L" " + path;
    if (!(actions & ActionSetVersion)) return line + L" ...";
    // Project files carry three numbers, resource scripts four.
    if (kind == CompilerVC6) return line + FormatW(L" -> %u.%u.%u.%u", v.major, v.minor, v.build, v.revision);
    return line + FormatW(L" -> %u.%u.%u", v.major, v.minor, v.build);
}

// The reason in a few words, for the summary.
const wchar_t* ShortReason(StampFailure failure) {
    switch (failure) {
    case StampFailure::NoResourceFile: return L"no resource file named";
    case StampFailure::UnknownKind: return L"unknown project kind";
    case StampFailure::ReadOnly: return L"read-only";
    case StampFailure::InUse: return L"in use";
    case StampFailure::Missing: return L"file missing";
    case StampFailure::FolderMissing: return L"folder missing";
    case StampFailure::HoldsZeroBytes: return L"not text";
    case StampFailure::NoVersionLine: return L"no version line";
    case StampFailure::TemporaryExists: return L".new file exists";
    case StampFailure::NotWritten:
    case StampFailure::NotReplaced: return L"could not be written";
    default: return L"could not be read";
    }
}

}  // namespace

int StampVersions(const RunJob& job, const RunContext& run, RunOutcome& outcome) {
    const ActionSet actions = job.actions;
    if (!(actions & (ActionSetVersion | ActionAutoIncrement))) return 0;
    const std::wstring title = LoadResourceString(IDS_VERSIONATING);
    // The numbers the rules read and store carry over from one target to the next.
    VersionQuad numbers = job.version;

    for (const RunTarget& target : job.targets) {
        if (run.StopRequested()) break;
        // A project or setting the package couldn't give leaves an empty path and kind 0.
        const std::wstring& path = target.resourceFile;
        const CompilerKind kind = target.resourceKind;
        TargetOutcome& targetOutcome = outcome.Target(target.projectId, target.record.name);
        // Stamping goes one target at a time, but its lines are tagged like the builders' that follow.
        const RunContext context = run.ForTarget(target.projectId, job.parallelBuilds > 1);

        StepRecorder recorder(context, StepKind::Version);
        const RunContext& stepRun = recorder.Run();
        StepOutcome step;
        PostProgress(run, target.projectId, kStampStep);
        PostRunLine(stepRun, VersionatingLine(title, path, kind, actions, numbers));
        StampResult result = StampFile(path, kind, actions, numbers);
        if (result.Stamped()) {
            for (const std::wstring& line : result.logLines) PostRunLine(stepRun, line);
            outcome.anyStamped = true;
            outcome.lastStamped = result.written;
            const VersionQuad& v = result.written;
            // Project files carry three numbers, resource scripts four.
            targetOutcome.stampedVersion = kind == CompilerVB6 ? FormatW(L"%u.%u.%u", v.major, v.minor, v.build)
                                                               : FormatW(L"%u.%u.%u.%u", v.major, v.minor, v.build,
                                                                         v.revision);
            for (const std::wstring& warning : DescribeStampWarnings(path, result)) {
                PostRunLine(stepRun, warning);
                targetOutcome.warned = true;
            }
        } else {
            PostRunLine(stepRun, DescribeStampFailure(path, result));
            step.result = StepOutcome::Failed;
            step.detail = std::wstring(L"version not stamped (") + ShortReason(result.failure) + L")";
        }
        StepOutcome finished = recorder.Finish(std::move(step));
        PostProgress(run, target.projectId, kStampStep, finished);
        targetOutcome.steps.push_back(std::move(finished));
    }
    return 0;
}

}  // namespace kw
