// A run told after the fact: what was asked, when, how long each builder ran and what it wrote.
// Plain values, filled from a run's result once it has ended and read by the record writers (the
// JUnit file, the HTML report), which know nothing of the engine.
#pragma once

#include "package/PackageFormat.h"
#include "version/RunValues.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kw {

enum class StepKind { Version, Debug, Release, VisualBasic, Clean };

struct StepRecord {
    StepKind kind = StepKind::Debug;
    // The words in brackets after the target's name: "version", the configuration name ("Win32
    // Debug"), "Visual Basic", "clean".
    std::wstring what;

    enum Verdict { Succeeded, Failed, NotStarted, NotRun, Stopped, TimedOut } verdict = NotRun;
    // Why it failed ("2 error(s), 0 warning(s)", "crashed (exception 0xC0000005)"), why it was not
    // run, or how it was stopped; may be empty for the verdicts that speak for themselves.
    std::wstring verdictText;

    // Milliseconds from the run's start; -1 when the step never began.
    long long startMs = -1;
    long long endMs = -1;
    // As the builder's log reported them; -1 when it said nothing.
    int errors = -1;
    int warnings = -1;

    // This target's own lines of this step: the builder's log, or the stamping lines. Builder
    // bytes are converted from the ANSI code page before they get here, so any byte survives as
    // some character; the writers mend what XML can't carry.
    std::vector<std::wstring> lines;

    bool Began() const { return startMs >= 0 && endMs >= startMs; }
    long long DurationMs() const { return Began() ? endMs - startMs : 0; }
};

struct TargetRecord {
    int projectId = 0;
    std::wstring name;
    CompilerKind kind = CompilerUnknown;
    std::wstring stampedVersion;   // "1.4.0.13" when the run stamped it
    std::wstring notRunReason;     // set for a target left out before the run (no steps then)
    std::vector<StepRecord> steps; // in the order they ran
};

enum class RunVerdict { Succeeded, Failed, Stopped };

struct RunRecord {
    std::wstring packageName;
    std::wstring packagePath;
    SYSTEMTIME started{};        // local wall-clock time of the run's start
    long long durationMs = 0;
    std::wstring actions;        // "Debug, Release (rebuild all), set version 1.2.0.0"
    std::wstring versions;       // the versions stamped, in words; empty when none were
    bool stopped = false;
    // The run's closing lines as both front ends print them, the "Summary: ..." line first.
    std::vector<std::wstring> summary;
    std::vector<TargetRecord> targets;  // in run order

    RunVerdict Verdict() const;
};

// "Calc (Win32 Debug)", "Reports (Visual Basic)"; the bare name for a target that has no steps.
std::wstring StepDisplayName(const TargetRecord& target, const StepRecord& step);
std::wstring TargetDisplayName(const TargetRecord& target);

// "succeeded", "failed: 2 error(s), 0 warning(s)", "not run: <reason>", "stopped", "timed out".
std::wstring StepVerdictWords(const StepRecord& step);
// The same for a target as a whole: its worst step.
StepRecord::Verdict TargetVerdict(const TargetRecord& target);

// The run's actions in words: "Debug and Release (rebuild all), clean, set version 1.2.0.0".
std::wstring DescribeActions(ActionSet actions, const VersionQuad& version);

// A wall time for people: "0.4 s", "42 s", "4 min 12 s", "1 h 2 min". Rounded to the unit shown.
std::wstring FormatDuration(long long ms);
// "Summary: 3 targets, 2 succeeded, 1 failed, 0 not run." -> "..., 0 not run, in 4 min 12 s."
std::wstring WithWallTime(std::wstring_view summaryLine, long long ms);
// Seconds with three decimals and a point whatever the locale: "3.210".
std::string FormatSeconds(long long ms);
// "2026-12-07 05:12:03"; with isoT "2026-12-07T05:12:03".
std::wstring FormatTimestamp(const SYSTEMTIME& time, bool isoT = false);

}  // namespace kw
