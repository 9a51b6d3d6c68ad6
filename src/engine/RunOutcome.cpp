#include "engine/RunOutcome.h"

#include "win/Decimal.h"
#include "win/Text.h"

namespace kw {

namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool StartsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

// The number that ends just before position end ("... 12" -> 12); -1 when there is none or it
// has more than nine digits.
long NumberBefore(std::string_view text, size_t end) {
    size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    std::uint32_t number = 0;
    if (!ParseDigits(text.substr(start, end - start), 999999999u, number)) return -1;
    return static_cast<long>(number);
}

}  // namespace

void BuildLogScanner::Feed(std::string_view bytes) {
    pending_.append(bytes.data(), bytes.size());
    size_t start = 0;
    for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        Line(std::string_view(pending_).substr(start, end - start));
    }
    pending_.erase(0, start);
    // A line longer than any summary line is of no interest beyond its end.
    if (pending_.size() > 4096) pending_.erase(0, pending_.size() - 4096);
}

void BuildLogScanner::Finish() {
    if (!pending_.empty()) Line(pending_);
    pending_.clear();
}

void BuildLogScanner::Line(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // "<target> - N error(s), M warning(s)"
    constexpr std::string_view kWarnings = " warning(s)";
    constexpr std::string_view kErrors = " error(s), ";
    if (EndsWith(line, kWarnings)) {
        size_t warningsEnd = line.size() - kWarnings.size();
        long lineWarnings = NumberBefore(line, warningsEnd);
        size_t warningsStart = warningsEnd;
        while (warningsStart > 0 && line[warningsStart - 1] >= '0' && line[warningsStart - 1] <= '9') --warningsStart;
        if (lineWarnings >= 0 && warningsStart >= kErrors.size() &&
            line.substr(warningsStart - kErrors.size(), kErrors.size()) == kErrors) {
            long lineErrors = NumberBefore(line, warningsStart - kErrors.size());
            if (lineErrors >= 0) {
                errors += static_cast<int>(lineErrors);
                warnings += static_cast<int>(lineWarnings);
                sawCounts = true;
            }
        }
        return;
    }
    if (StartsWith(line, "Build of '") && EndsWith(line, "' failed.")) saidFailed = true;
    if (StartsWith(line, "Compile Error in File")) saidFailed = true;
}

RunTime RunTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<RunTime>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

bool IsExceptionCode(DWORD exitCode) { return exitCode >= 0xC0000000u; }

StepOutcome JudgeBuilder(const BuilderResult& result, std::wstring what, const wchar_t* builderWord) {
    StepOutcome step;
    step.what = std::move(what);
    step.result = StepOutcome::Failed;
    if (result.stopped) {
        step.result = StepOutcome::NotRun;
        step.detail = L"stopped";
    } else if (!result.started) {
        step.result = result.runnerFailed ? StepOutcome::Failed : StepOutcome::NotStarted;
        step.detail = result.runnerFailed ? L"the run of the " + std::wstring(builderWord) + L" failed"
                                          : L"could not start the " + std::wstring(builderWord);
    } else if (result.timedOut) {
        step.detail = L"timed out";
        step.timedOut = true;
    } else if (IsExceptionCode(result.exitCode)) {
        step.detail = FormatW(L"crashed (exception 0x%08lX)", static_cast<unsigned long>(result.exitCode));
    } else if (result.runnerFailed) {
        step.detail = L"the run of the " + std::wstring(builderWord) + L" failed";
    } else if (result.log.errors > 0 || result.log.saidFailed) {
        step.detail = result.log.sawCounts
                          ? FormatW(L"%d error(s), %d warning(s)", result.log.errors, result.log.warnings)
                          : std::wstring(L"build failed");
    } else if (result.exitCode != 0) {
        step.detail = FormatW(L"exit code %lu", static_cast<unsigned long>(result.exitCode));
    } else {
        step.result = StepOutcome::Succeeded;
    }
    if (result.log.sawCounts) {
        step.errors = result.log.errors;
        step.warnings = result.log.warnings;
    }
    return step;
}

TargetOutcome::Verdict TargetOutcome::Judge() const {
    if (!notRunReason.empty()) return NotRun;
    bool notRun = steps.empty();
    for (const StepOutcome& step : steps) {
        if (step.result == StepOutcome::Failed || step.result == StepOutcome::NotStarted) return Failed;
        if (step.result == StepOutcome::NotRun) notRun = true;
    }
    return notRun ? NotRun : Succeeded;
}

TargetOutcome& RunOutcome::Target(int projectId, const std::wstring& name) {
    for (TargetOutcome& target : targets) {
        if (target.projectId == projectId && target.notRunReason.empty()) {
            if (target.name.empty()) target.name = name;
            return target;
        }
    }
    targets.push_back(TargetOutcome{});
    targets.back().projectId = projectId;
    targets.back().name = name;
    return targets.back();
}

long long RunOutcome::WallTimeMs() const {
    return started != 0 && ended >= started ? static_cast<long long>((ended - started) / 10000) : 0;
}

int RunOutcome::ExitCode() const {
    int code = kExitSucceeded;
    auto raise = [&code](int to) { code = code > to ? code : to; };
    if (stopped) raise(kExitStopped);
    if (!failure.empty()) raise(kExitFailed);
    // A builder that could not start is its own kind of failure (3), below a failed build (4).
    for (const TargetOutcome& target : targets) {
        if (target.Judge() == TargetOutcome::NotRun) raise(kExitFailed);
        for (const StepOutcome& step : target.steps) {
            if (step.result == StepOutcome::NotStarted) raise(kExitNotStarted);
            if (step.result == StepOutcome::Failed) raise(kExitFailed);
        }
    }
    return code;
}

std::vector<std::wstring> RunOutcome::SummaryLines() const {
    int succeeded = 0, failed = 0, notRun = 0;
    std::vector<std::wstring> details;
    for (const TargetOutcome& target : targets) {
        TargetOutcome::Verdict verdict = target.Judge();
        const std::wstring name = target.name.empty() ? L"Project " + std::to_wstring(target.projectId) : target.name;
        if (verdict == TargetOutcome::Succeeded) {
            ++succeeded;
            continue;
        }
        verdict == TargetOutcome::Failed ? ++failed : ++notRun;
        if (!target.notRunReason.empty()) {
            details.push_back(L"  " + name + L": " + target.notRunReason);
            continue;
        }
        // The first step that went wrong tells the story.
        const StepOutcome* first = nullptr;
        for (const StepOutcome& step : target.steps) {
            if (step.result == StepOutcome::Succeeded) continue;
            if (!first || (first->result == StepOutcome::NotRun && step.result != StepOutcome::NotRun)) first = &step;
        }
        if (!first) {
            details.push_back(L"  " + name + L": not run");
        } else {
            std::wstring label = first->what.empty() ? name : name + L" (" + first->what + L")";
            details.push_back(L"  " + label + L": " + first->detail);
        }
    }
    std::vector<std::wstring> lines;
    lines.push_back(FormatW(L"Summary: %d %s, %d succeeded, %d failed, %d not run.", static_cast<int>(targets.size()),
                            targets.size() == 1 ? L"target" : L"targets", succeeded, failed, notRun));
    if (started != 0 && ended >= started) lines.back() = WithWallTime(lines.back(), WallTimeMs());
    lines.insert(lines.end(), details.begin(), details.end());
    return lines;
}

std::wstring ParallelBuildsLine(const RunOutcome& outcome, int parallelBuilds) {
    if (parallelBuilds <= 1) return {};
    const unsigned long tenths = static_cast<unsigned long>(outcome.builderTime / 1000000);  // from 100 ns units
    std::wstring took;
    if (tenths < 600) {
        took = FormatW(L"%lu.%lu s", tenths / 10, tenths % 10);
    } else {
        const unsigned long seconds = tenths / 10;
        took = seconds < 3600 ? FormatW(L"%lu min %lu s", seconds / 60, seconds % 60)
                              : FormatW(L"%lu h %lu min", seconds / 3600, seconds / 60 % 60);
    }
    return FormatW(L"Builds ran up to %d at a time; one after another they would have taken %s.", parallelBuilds,
                   took.c_str());
}

}  // namespace kw
