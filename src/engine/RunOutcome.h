// What a run came to: for every target, the outcome of each step it went through, and from that
// the summary both front ends show and the console front end's exit code.
#pragma once

#include "engine/RunRecord.h"
#include "engine/StepLog.h"
#include "version/RunValues.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// What a builder's log says about its build. Fed the log's bytes piece by piece.
class BuildLogScanner {
public:
    void Feed(std::string_view bytes);
    void Finish();

    int errors = 0;          // summed over every "<target> - N error(s), M warning(s)" line
    int warnings = 0;
    bool sawCounts = false;  // such a line was seen
    bool saidFailed = false; // "Build of '...' failed." or "Compile Error in File ..."

private:
    void Line(std::string_view line);
    std::string pending_;
};

// One builder run as the runner saw it.
struct BuilderResult {
    bool started = false;
    DWORD startError = 0;       // why it didn't start (Win32 error), 0 when refused by us
    std::wstring startProblem;  // why it didn't start, in plain words
    DWORD exitCode = 0;
    bool stopped = false;       // ended by a stop of the run
    bool timedOut = false;
    bool runnerFailed = false;  // the runner thread failed or died; see startProblem
    BuildLogScanner log;
};

// Exit codes of a run, the highest applicable wins.
enum RunExitCode : int {
    kExitSucceeded = 0,
    kExitUnusable = 1,     // the package or the temporary folder can't be used
    kExitUsage = 2,        // usage error, unknown target, or nothing to do
    kExitNotStarted = 3,   // a builder could not be started
    kExitFailed = 4,       // a target failed or was not run
    kExitStopped = 5,      // the run was stopped
};

// A moment as the system clock gives it (FILETIME: 100 ns units since 1601, UTC).
using RunTime = std::uint64_t;
RunTime RunTimeNow();

struct StepOutcome {
    enum Result { Succeeded, Failed, NotStarted, NotRun } result = Succeeded;
    std::wstring what;    // "Win32 Debug", "clean", "version"; empty for the BASIC build
    std::wstring detail;  // why it failed, in a few words
    RunTime started = 0;  // 0 for a step that never began
    RunTime ended = 0;
    StepKind kind = StepKind::Version;
    int errors = -1;      // as the builder's log reported them; -1 when it said nothing
    int warnings = -1;
    bool timedOut = false;
    StepLog log;          // the target's own lines of this step
};

struct TargetOutcome {
    int projectId = 0;
    std::wstring name;
    std::vector<StepOutcome> steps;
    std::wstring notRunReason;  // set for a target left out before the run
    bool warned = false;
    std::wstring stampedVersion;  // the numbers its file holds after stamping ("1.4.0.13")

    enum Verdict { Succeeded, Failed, NotRun };
    Verdict Judge() const;
};

struct RunOutcome {
    std::vector<TargetOutcome> targets;  // in the order the targets were first met
    bool stopped = false;
    std::wstring failure;                // a thread's failure that ended the run
    // The numbers the last file stamped now holds (a project file's three fill major, minor and
    // build; revision keeps the run's). Set when anyStamped.
    bool anyStamped = false;
    VersionQuad lastStamped;
    RunTime started = 0;
    RunTime ended = 0;
    RunTime builderTime = 0;  // every builder's time, added up

    TargetOutcome& Target(int projectId, const std::wstring& name);
    int ExitCode() const;
    // From the start to the end of the run; 0 until it has ended.
    long long WallTimeMs() const;
    // "Summary: 3 targets, 2 succeeded, 1 failed, 0 not run, in 4 min 12 s." (the wall time once
    // the run has ended) and one line per target that did not succeed.
    std::vector<std::wstring> SummaryLines() const;
};

// After the summary of a run with several builders at once: "Builds ran up to 4 at a time; one
// after another they would have taken 4 min 10 s." Empty for one at a time.
std::wstring ParallelBuildsLine(const RunOutcome& outcome, int parallelBuilds);

// The outcome of one builder run, for the summary.
StepOutcome JudgeBuilder(const BuilderResult& result, std::wstring what, const wchar_t* builderWord);

// "crashed (exception 0xC0000005)" and the like for an exit code of 0xC0000000 and above.
bool IsExceptionCode(DWORD exitCode);

}  // namespace kw
