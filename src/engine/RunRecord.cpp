#include "engine/RunRecord.h"

#include "win/Text.h"

namespace kw {

namespace {

// Higher is worse; a target shows its worst step.
int Severity(StepRecord::Verdict verdict) {
    switch (verdict) {
    case StepRecord::Succeeded: return 0;
    case StepRecord::NotRun: return 1;
    case StepRecord::Stopped: return 2;
    case StepRecord::TimedOut: return 3;
    case StepRecord::NotStarted: return 4;
    case StepRecord::Failed: return 5;
    }
    return 5;
}

}  // namespace

std::wstring TargetDisplayName(const TargetRecord& target) {
    return target.name.empty() ? L"Project " + std::to_wstring(target.projectId) : target.name;
}

std::wstring StepDisplayName(const TargetRecord& target, const StepRecord& step) {
    return step.what.empty() ? TargetDisplayName(target) : TargetDisplayName(target) + L" (" + step.what + L")";
}

std::wstring StepVerdictWords(const StepRecord& step) {
    auto with = [&step](const wchar_t* word) {
        return step.verdictText.empty() ? std::wstring(word) : std::wstring(word) + L": " + step.verdictText;
    };
    switch (step.verdict) {
    case StepRecord::Succeeded: return L"succeeded";
    case StepRecord::Failed: return with(L"failed");
    case StepRecord::NotStarted: return with(L"not started");
    case StepRecord::NotRun: return with(L"not run");
    case StepRecord::Stopped: return with(L"stopped");
    case StepRecord::TimedOut: return with(L"timed out");
    }
    return L"failed";
}

StepRecord::Verdict TargetVerdict(const TargetRecord& target) {
    if (target.steps.empty()) return StepRecord::NotRun;
    StepRecord::Verdict worst = StepRecord::Succeeded;
    for (const StepRecord& step : target.steps) {
        if (Severity(step.verdict) > Severity(worst)) worst = step.verdict;
    }
    return worst;
}

RunVerdict RunRecord::Verdict() const {
    if (stopped) return RunVerdict::Stopped;
    for (const TargetRecord& target : targets) {
        if (TargetVerdict(target) != StepRecord::Succeeded) return RunVerdict::Failed;
    }
    return RunVerdict::Succeeded;
}

std::wstring DescribeActions(ActionSet actions, const VersionQuad& version) {
    std::vector<std::wstring> parts;
    const bool debug = actions & ActionDebug, release = actions & ActionRelease;
    if (debug || release) {
        std::wstring builds = debug && release ? L"Debug and Release" : debug ? L"Debug" : L"Release";
        if (actions & ActionRebuildAll) builds += L" (rebuild all)";
        parts.push_back(builds);
    }
    if (actions & ActionClean) parts.push_back(L"clean");
    if (actions & ActionSetVersion) {
        parts.push_back(FormatW(L"set version %u.%u.%u.%u", version.major, version.minor, version.build,
                                version.revision));
    } else if (actions & ActionAutoIncrement) {
        parts.push_back(L"auto-increment the version");
    }
    if (parts.empty()) return L"nothing";
    std::wstring words = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) words += L", " + parts[i];
    return words;
}

std::wstring FormatDuration(long long ms) {
    if (ms < 0) ms = 0;
    auto n = [](long long value) { return std::to_wstring(value); };
    // Round to the unit that will be shown; a value that rounds up into the next unit moves on.
    long long tenths = (ms + 50) / 100;
    if (tenths < 100) return n(tenths / 10) + L"." + n(tenths % 10) + L" s";
    long long seconds = (ms + 500) / 1000;
    if (seconds < 60) return n(seconds) + L" s";
    if (seconds < 3600) return n(seconds / 60) + L" min" + (seconds % 60 ? L" " + n(seconds % 60) + L" s" : L"");
    long long minutes = (ms + 30000) / 60000;
    return n(minutes / 60) + L" h" + (minutes % 60 ? L" " + n(minutes % 60) + L" min" : L"");
}

std::wstring WithWallTime(std::wstring_view summaryLine, long long ms) {
    std::wstring line(summaryLine);
    if (!line.empty() && line.back() == L'.') line.pop_back();
    return line + L", in " + FormatDuration(ms) + L".";
}

std::string FormatSeconds(long long ms) {
    if (ms < 0) ms = 0;
    std::string fraction = std::to_string(ms % 1000);
    return std::to_string(ms / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction;
}

std::wstring FormatTimestamp(const SYSTEMTIME& time, bool isoT) {
    return FormatW(L"%04u-%02u-%02u%s%02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, isoT ? L"T" : L" ",
                   time.wHour, time.wMinute, time.wSecond);
}

}  // namespace kw
