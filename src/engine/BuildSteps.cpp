#include "engine/BuildSteps.h"

#include "engine/BuildCommands.h"
#include "engine/ProcessRunner.h"
#include "engine/RunProgress.h"
#include "engine/StepRecorder.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <process.h>

#include <exception>
#include <functional>
#include <map>

namespace kw {

namespace {

// Each runner's own: the thread that composes the command names the log. Threads that live at
// the same time have different ids, in this process and in any other run beside it.
std::wstring CurrentLogPath(const RunJob& job) {
    return LogFilePath(job.temporaryFolder, static_cast<long>(GetCurrentThreadId()));
}

StepKind StepKindOf(ActionSet mode) {
    return mode == ActionClean ? StepKind::Clean : mode == ActionRelease ? StepKind::Release : StepKind::Debug;
}

// What both builders' command lines are made of, for one target and its own log.
BuildCommandInput CommandInputFor(const RunJob& job, const ProjectRecord& record, const std::wstring& logPath) {
    BuildCommandInput input;
    input.visualStudioFolder = job.visualStudioFolder;
    input.projectName = record.name;
    input.sourceFolder = record.sourceLocation;
    input.logPath = logPath;
    return input;
}

using BuildOne = std::function<StepOutcome(const RunTarget&, const RunContext&)>;
using Describe = std::function<std::wstring(const RunTarget&)>;

// One target's place in a step.
struct Member {
    enum State { Waiting, Running, Succeeded, Failed, NotRun } state = Waiting;
    const RunTarget* target = nullptr;
    std::vector<size_t> needs;  // members it waits for
    RunContext context;         // the run as this target's lines see it
    const BuildOne* build = nullptr;
    StepOutcome result;
    KernelHandle thread;
};

void BuildMember(Member& member) {
    try {
        member.result = (*member.build)(*member.target, member.context);
    } catch (const std::exception& failure) {
        member.result = StepOutcome{StepOutcome::Failed, L"", L"the build failed: " + FromUtf8(failure.what())};
    } catch (...) {
        member.result = StepOutcome{StepOutcome::Failed, L"", L"the build failed"};
    }
}

unsigned __stdcall BuildOnThread(void* argument) {
    BuildMember(*static_cast<Member*>(argument));
    return 0;
}

// Runs build for the given targets of one step: up to job.parallelBuilds at once, each as soon
// as the members it needs have succeeded; one whose needed member failed or was not run is left
// out with a line that says so. With one at a time, everything happens on the calling thread in
// run order, as it always has.
void RunStep(const RunJob& job, const RunContext& run, RunOutcome& outcome, const std::vector<const RunTarget*>& targets,
             StepKind kind, const BuildOne& build, const Describe& describe) {
    const size_t limit = static_cast<size_t>(job.parallelBuilds > 1 ? job.parallelBuilds : 1);
    const bool tagged = limit > 1;
    std::vector<Member> members(targets.size());
    std::map<int, size_t> index;
    for (size_t i = 0; i < targets.size(); ++i) index.emplace(targets[i]->projectId, i);
    for (size_t i = 0; i < targets.size(); ++i) {
        Member& member = members[i];
        member.target = targets[i];
        member.context = run.ForTarget(targets[i]->projectId, tagged);
        member.build = &build;
        // Only members of this step hold a target back; run order puts them first.
        for (int id : targets[i]->dependencies) {
            auto found = index.find(id);
            if (found != index.end() && found->second < i) member.needs.push_back(found->second);
        }
    }

    auto finish = [&](Member& member) {
        member.thread.Reset();
        StepOutcome::Result result = member.result.result;
        member.state = result == StepOutcome::Succeeded ? Member::Succeeded
                       : result == StepOutcome::NotRun  ? Member::NotRun
                                                        : Member::Failed;
        if (member.result.started && member.result.ended > member.result.started) {
            outcome.builderTime += member.result.ended - member.result.started;
        }
        outcome.Target(member.target->projectId, member.target->record.name).steps.push_back(member.result);
    };

    // Should anything leave this function early, no builder's thread may outlive its member.
    struct JoinAll {
        std::vector<Member>& members;
        ~JoinAll() {
            for (Member& member : members)
                if (member.thread.Valid()) WaitForSingleObject(member.thread.Get(), INFINITE);
        }
    } joinAll{members};

    size_t running = 0;
    for (;;) {
        if (!run.StopRequested()) {
            for (Member& member : members) {
                if (member.state != Member::Waiting) continue;
                const Member* blocker = nullptr;
                bool ready = true;
                for (size_t need : member.needs) {
                    const Member::State state = members[need].state;
                    if (state == Member::Failed || state == Member::NotRun) {
                        blocker = &members[need];
                        break;
                    }
                    if (state != Member::Succeeded) ready = false;
                }
                const RunTarget& target = *member.target;
                if (blocker) {
                    member.state = Member::NotRun;
                    std::wstring detail = L"not run: it needs " + blocker->target->record.name +
                                          (blocker->state == Member::Failed ? L", which failed" : L", which was not run");
                    PostRunLine(member.context, target.record.name + L": " + detail);
                    StepOutcome notRun{StepOutcome::NotRun, describe(target), std::move(detail)};
                    notRun.kind = kind;
                    outcome.Target(target.projectId, target.record.name).steps.push_back(std::move(notRun));
                    continue;
                }
                if (!ready || running >= limit || run.StopRequested()) continue;
                member.state = Member::Running;
                if (limit > 1) {
                    member.thread.Reset(
                        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, BuildOnThread, &member, 0, nullptr)));
                }
                if (member.thread.Valid()) {
                    ++running;
                } else {
                    // One at a time, or no thread to spare: this builder runs here and now.
                    BuildMember(member);
                    finish(member);
                }
            }
        }
        if (running == 0) break;
        // Wait for any builder to end; a stop reaches them through the run's stop event.
        std::vector<HANDLE> handles;
        std::vector<Member*> owners;
        for (Member& member : members) {
            if (member.state == Member::Running && member.thread.Valid()) {
                handles.push_back(member.thread.Get());
                owners.push_back(&member);
            }
        }
        DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        if (woke >= WAIT_OBJECT_0 + handles.size()) {
            // Can't wait on them together: take them one by one.
            for (HANDLE handle : handles) WaitForSingleObject(handle, INFINITE);
        }
        for (size_t i = 0; i < handles.size(); ++i) {
            if (WaitForSingleObject(handles[i], 0) != WAIT_OBJECT_0) continue;
            finish(*owners[i]);
            --running;
        }
    }
}

}  // namespace

StepOutcome BuildVisualCppTarget(const RunJob& job, const RunTarget& target, const RunContext& run, ActionSet mode) {
    const ProjectRecord& record = target.record;
    const std::wstring logPath = CurrentLogPath(job);
    BuildCommandInput input = CommandInputFor(job, record, logPath);
    input.configuration = mode == ActionRelease ? record.releaseConfig : record.debugConfig;
    const bool rebuildAll = (job.actions & ActionRebuildAll) != 0;
    PostProgress(run, target.projectId, mode);
    StepRecorder recorder(run, StepKindOf(mode));
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
    const BuildCommandInput input = CommandInputFor(job, record, logPath);
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
    std::vector<const RunTarget*> targets;
    for (const RunTarget& target : job.targets)
        if (target.record.compilerKind == CompilerVC6) targets.push_back(&target);
    const BuildOne build = [&job, mode](const RunTarget& target, const RunContext& context) {
        return BuildVisualCppTarget(job, target, context, mode);
    };
    const Describe describe = [mode](const RunTarget& target) {
        if (mode == ActionClean) return std::wstring(L"clean");
        return mode == ActionRelease ? target.record.releaseConfig : target.record.debugConfig;
    };
    RunStep(job, run, outcome, targets, StepKindOf(mode), build, describe);
    return 0;
}

int BuildVisualBasicProjects(const RunJob& job, const RunContext& run, RunOutcome& outcome) {
    // Checked before the kind: an unnamed or folderless project of any kind ends the step, and
    // only the projects before it in run order are built.
    auto end = job.targets.begin();
    std::vector<const RunTarget*> targets;
    for (; end != job.targets.end(); ++end) {
        if (end->record.name.empty() || end->record.sourceLocation.empty()) break;
        if (end->record.compilerKind == CompilerVB6) targets.push_back(&*end);
    }
    const BuildOne build = [&job](const RunTarget& target, const RunContext& context) {
        return BuildVisualBasicTarget(job, target, context);
    };
    RunStep(job, run, outcome, targets, StepKind::VisualBasic, build, [](const RunTarget&) { return std::wstring(); });
    if (end == job.targets.end() || run.StopRequested()) return 0;

    const RunTarget& stopper = *end;
    const ProjectRecord& record = stopper.record;
    std::wstring name = record.name.empty() ? L"Project " + std::to_wstring(stopper.projectId) : record.name;
    StepRecorder recorder(run.ForTarget(stopper.projectId, job.parallelBuilds > 1), StepKind::VisualBasic);
    PostRunLine(recorder.Run(), name + L" has no name or source folder; the Visual Basic builds end here.");
    StepOutcome failed = recorder.Finish(StepOutcome{StepOutcome::Failed, L"", L"no name or source folder"});
    PostProgress(run, stopper.projectId, kBasicStep, failed);
    outcome.Target(stopper.projectId, record.name).steps.push_back(std::move(failed));
    // Say so for every Visual Basic project the step leaves out.
    for (auto rest = end + 1; rest != job.targets.end(); ++rest) {
        if (rest->record.compilerKind != CompilerVB6) continue;
        StepOutcome notRun{StepOutcome::NotRun, L"", L"not built: the Visual Basic builds ended early"};
        notRun.kind = StepKind::VisualBasic;
        outcome.Target(rest->projectId, rest->record.name).steps.push_back(std::move(notRun));
    }
    return -1;
}

}  // namespace kw
