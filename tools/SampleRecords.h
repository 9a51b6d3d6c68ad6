// Run records as a run of the demo package would leave them, for the record writers' tests and
// for looking at the report in a browser.
#pragma once

#include "engine/RunRecord.h"

#include <string>
#include <vector>

namespace kwtest {

inline kw::StepRecord Step(kw::StepKind kind, const wchar_t* what, kw::StepRecord::Verdict verdict, long long startMs,
                           long long endMs, std::vector<std::wstring> lines = {}, std::wstring verdictText = {},
                           int errors = -1, int warnings = -1) {
    kw::StepRecord step;
    step.kind = kind;
    step.what = what;
    step.verdict = verdict;
    step.verdictText = std::move(verdictText);
    step.startMs = startMs;
    step.endMs = endMs;
    step.errors = errors;
    step.warnings = warnings;
    step.lines = std::move(lines);
    return step;
}

inline kw::TargetRecord Target(int id, const wchar_t* name, kw::CompilerKind kind, std::vector<kw::StepRecord> steps,
                               const wchar_t* version = L"1.4.0.13") {
    kw::TargetRecord target;
    target.projectId = id;
    target.name = name;
    target.kind = kind;
    target.stampedVersion = version;
    target.steps = std::move(steps);
    return target;
}

// A Visual C++ build's log: the banner, the sources compiled, then the given closing lines.
inline std::vector<std::wstring> BuildLog(const std::wstring& project, const std::wstring& config,
                                          const std::vector<std::wstring>& sources,
                                          const std::vector<std::wstring>& closing) {
    std::vector<std::wstring> lines{L"--------------------Configuration: " + project + L" - " + config +
                                    L"--------------------", L"Compiling..."};
    lines.insert(lines.end(), sources.begin(), sources.end());
    lines.insert(lines.end(), closing.begin(), closing.end());
    return lines;
}

inline kw::RunRecord BaseRecord(const wchar_t* actions) {
    kw::RunRecord record;
    record.packageName = L"Kilnworks Demo Suite";
    record.packagePath = L"C:\\Kilnworks Demo\\Demo.kwp";
    record.started = SYSTEMTIME{2026, 12, 1, 7, 5, 12, 3, 0};
    record.actions = actions;
    return record;
}

// The demo package built one builder after another: stamping, Debug, Release, Visual Basic; one
// compile error in Calc's Debug build and a warning in MathLib.
inline kw::RunRecord SequentialRecord() {
    using kw::StepKind;
    using V = kw::StepRecord;
    kw::RunRecord record = BaseRecord(L"Debug, Release, auto-increment");
    record.durationMs = 19340;
    record.versions = L"1.4.0.27 -> 1.4.0.28";
    record.summary = {L"Summary: 3 targets, 2 succeeded, 1 failed, 0 not run, in 19 s.",
                      L"  Calc (Win32 Debug): 1 error(s), 0 warning(s)"};
    auto stamp = [](const wchar_t* file, const wchar_t* version, long long at) {
        return Step(StepKind::Version, L"version", V::Succeeded, at, at + 60,
                    {std::wstring(L"Versionating C:\\Kilnworks Demo\\") + file, std::wstring(L" -> ") + version});
    };
    const std::wstring demo = L"C:\\Kilnworks Demo\\";
    std::vector<std::wstring> calcDebug =
        BuildLog(L"Calc", L"Win32 Debug", {L"Calc.cpp", L"CalcImpl.cpp"},
                 {demo + L"Calc\\Calc.cpp(12) : error C2065: 'undeclaredValue' : undeclared identifier",
                  L"Error executing cl.exe.", L"Calc.exe - 1 error(s), 0 warning(s)"});
    std::vector<std::wstring> mathDebug =
        BuildLog(L"MathLib", L"Win32 Debug", {L"MathLib.cpp", L"MathLibImpl.cpp"},
                 {demo + L"MathLib\\MathLibImpl.cpp(40) : warning C4101: 'unused' : unreferenced local variable",
                  L"Linking...", L"MathLib.dll - 0 error(s), 1 warning(s)"});
    std::vector<std::wstring> calcRelease = BuildLog(L"Calc", L"Win32 Release", {L"Calc.cpp", L"CalcImpl.cpp"},
                                                     {L"Linking...", L"Calc.exe - 0 error(s), 0 warning(s)"});
    std::vector<std::wstring> mathRelease = BuildLog(L"MathLib", L"Win32 Release", {L"MathLib.cpp", L"MathLibImpl.cpp"},
                                                     {L"Linking...", L"MathLib.dll - 0 error(s), 0 warning(s)"});
    record.targets = {
        Target(1, L"Calc", kw::CompilerVC6,
               {stamp(L"Calc\\Calc.rc", L"1.4.0.28", 0),
                Step(StepKind::Debug, L"Win32 Debug", V::Failed, 210, 3890, calcDebug, L"1 error(s), 0 warning(s)", 1, 0),
                Step(StepKind::Release, L"Win32 Release", V::Succeeded, 7410, 10950, calcRelease, {}, 0, 0)},
               L"1.4.0.28"),
        Target(2, L"MathLib", kw::CompilerVC6,
               {stamp(L"MathLib\\MathLib.rc", L"1.4.0.28", 60),
                Step(StepKind::Debug, L"Win32 Debug", V::Succeeded, 3890, 7410, mathDebug, {}, 0, 1),
                Step(StepKind::Release, L"Win32 Release", V::Succeeded, 10950, 14600, mathRelease, {}, 0, 0)},
               L"1.4.0.28"),
        Target(3, L"Reports", kw::CompilerVB6,
               {stamp(L"Reports\\Reports.vbp", L"1.4.0", 120),
                Step(StepKind::VisualBasic, L"Visual Basic", V::Succeeded, 14600, 19300,
                     {L"Build of 'C:\\Kilnworks Demo\\Reports\\Reports.exe' succeeded."})},
               L"1.4.0"),
    };
    return record;
}

// Six projects built two at a time after their dependencies: the builders overlap.
inline kw::RunRecord ParallelRecord() {
    using kw::StepKind;
    using V = kw::StepRecord;
    kw::RunRecord record = BaseRecord(L"Release (rebuild all), 2 builders at a time");
    record.packageName = L"Suite";
    record.packagePath = L"C:\\Builds\\suite.kwp";
    record.durationMs = 252400;
    record.summary = {L"Summary: 6 targets, 4 succeeded, 1 failed, 1 not run, in 4 min 12 s.",
                      L"  Viewer (Win32 Release): crashed (exception 0xC0000005)",
                      L"  Printing: not run (its dependency Viewer failed)"};
    auto release = [](const wchar_t* name, long long from, long long to, V::Verdict verdict = V::Succeeded,
                      const wchar_t* text = L"") {
        std::vector<std::wstring> closing;
        if (verdict == V::Succeeded) closing = {L"Linking...", std::wstring(name) + L".dll - 0 error(s), 0 warning(s)"};
        std::vector<std::wstring> lines = BuildLog(name, L"Win32 Release", {std::wstring(name) + L".cpp"}, closing);
        return Step(StepKind::Release, L"Win32 Release", verdict, from, to, lines, text, verdict == V::Succeeded ? 0 : -1,
                    verdict == V::Succeeded ? 0 : -1);
    };
    record.targets = {
        Target(1, L"Core", kw::CompilerVC6, {release(L"Core", 0, 61000)}, L""),
        Target(2, L"Storage", kw::CompilerVC6, {release(L"Storage", 0, 48200)}, L""),
        Target(3, L"Network", kw::CompilerVC6, {release(L"Network", 48300, 131000)}, L""),
        Target(4, L"Viewer", kw::CompilerVC6,
               {release(L"Viewer", 61100, 97400, V::Failed, L"crashed (exception 0xC0000005)")}, L""),
        Target(5, L"Reports", kw::CompilerVB6,
               {Step(StepKind::VisualBasic, L"Visual Basic", V::Succeeded, 131100, 252300,
                     {L"Build of 'C:\\Builds\\Reports\\Reports.exe' succeeded."})},
               L""),
        Target(6, L"Printing", kw::CompilerVC6,
               {Step(StepKind::Release, L"Win32 Release", V::NotRun, -1, -1, {}, L"its dependency Viewer failed")}, L""),
    };
    return record;
}

// A stopped run with a success, a compile failure, a crash, a builder that could not start, a
// failed stamping (and the build it held back), a target that was never run, a time-out, and the
// step the stop cut short.
inline kw::RunRecord MixedRecord() {
    using kw::StepKind;
    using V = kw::StepRecord;
    kw::RunRecord record = BaseRecord(L"Debug, auto-increment");
    record.durationMs = 15250;
    record.summary = {L"Summary: 8 targets, 1 succeeded, 5 failed, 2 not run, in 15 s."};
    record.targets = {
        Target(1, L"Calc", kw::CompilerVC6,
               {Step(StepKind::Version, L"version", V::Succeeded, 0, 40, {L"Stamping Calc.rc", L"  1.0.0.1 -> 1.0.0.2"}),
                Step(StepKind::Debug, L"Win32 Debug", V::Failed, 200, 3880,
                     {L"Compiling...", L"CalcDlg.cpp(12) : error C2065: 'undeclaredValue' : undeclared identifier",
                      L"Calc.exe - 1 error(s), 0 warning(s)"},
                     L"1 error(s), 0 warning(s)", 1, 0)}),
        Target(2, L"Viewer", kw::CompilerVC6,
               {Step(StepKind::Debug, L"Win32 Debug", V::Failed, 3900, 4100, {L"Compiling..."},
                     L"crashed (exception 0xC0000005)")}),
        Target(3, L"Printer", kw::CompilerVC6,
               {Step(StepKind::Debug, L"Win32 Debug", V::NotStarted, 4100, 4100, {}, L"could not start the IDE")}),
        Target(4, L"Tools", kw::CompilerVC6,
               {Step(StepKind::Version, L"version", V::Failed, 40, 60,
                     {L"Stamping Tools.rc", L"  no version line found; the file was left as it was"},
                     L"the version was not stamped"),
                Step(StepKind::Debug, L"Win32 Debug", V::NotRun, -1, -1, {}, L"its version was not stamped")}),
        Target(9, L"Legacy", kw::CompilerUnknown, {}, L""),
        Target(5, L"Reports", kw::CompilerVB6,
               {Step(StepKind::VisualBasic, L"Visual Basic", V::Succeeded, 4100, 15200,
                     {L"Build of 'C:\\Src\\Reports\\Reports.exe' succeeded."})}),
        Target(6, L"Slow", kw::CompilerVC6,
               {Step(StepKind::Release, L"Win32 Release", V::TimedOut, 5000, 6000, {L"Compiling..."}, L"after 1 s")}),
        Target(7, L"Last", kw::CompilerVC6,
               {Step(StepKind::Release, L"Win32 Release", V::Stopped, 15200, 15250, {L"Compiling..."})}),
    };
    record.stopped = true;
    record.targets[4].notRunReason = L"ProjectID 9 is not in the package";
    return record;
}

}  // namespace kwtest
