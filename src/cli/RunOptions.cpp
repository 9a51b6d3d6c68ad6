#include "cli/RunOptions.h"

#include "engine/RunJob.h"
#include "win/Decimal.h"

#include <cstdint>

namespace kw::cli {

namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

// A whole signed 32-bit decimal number, nothing else; 0 ends the target list, so it can't name
// a target.
bool ParseTargetId(const std::wstring& text, int& value) {
    std::int32_t number = 0;
    if (!ParseWholeInt32(text, number) || number == 0) return false;
    value = number;
    return true;
}

// Plain decimal digits, at most max.
bool ParseBounded(const std::wstring& text, unsigned long max, unsigned long& value) {
    std::uint32_t number = 0;
    if (!ParseDigits(text, static_cast<std::uint32_t>(max), number)) return false;
    value = number;
    return true;
}

template <bool RunOptions::*flag>
bool SetFlag(RunOptions& options, const std::wstring&) {
    options.*flag = true;
    return true;
}

bool ApplyTargets(RunOptions& options, const std::wstring& value) {
    options.targets.clear();
    options.allTargets = value == L"all";
    if (options.allTargets) return true;
    for (const std::wstring& part : Split(value, L',')) {
        int id = 0;
        if (!ParseTargetId(part, id)) return false;
        options.targets.push_back(id);
    }
    return true;
}

bool ApplySetVersion(RunOptions& options, const std::wstring& value) {
    // The resource compiler keeps 16 bits of each part.
    std::vector<std::wstring> parts = Split(value, L'.');
    if (parts.size() != 4) return false;
    unsigned long numbers[4] = {};
    for (int p = 0; p < 4; ++p) {
        if (!ParseBounded(parts[p], 65535, numbers[p])) return false;
    }
    options.setVersion = true;
    options.version = VersionQuad{numbers[0], numbers[1], numbers[2], numbers[3]};
    return true;
}

bool ApplyTimeout(RunOptions& options, const std::wstring& value) {
    return ParseBounded(value, 86400, options.timeoutSeconds) && options.timeoutSeconds != 0;
}

template <std::wstring RunOptions::*path>
bool SetPath(RunOptions& options, const std::wstring& value) {
    options.*path = value;
    return !value.empty();
}

bool ApplyJobs(RunOptions& options, const std::wstring& value) {
    return ParseBounded(value, kMaxParallelBuilds, options.jobs) && options.jobs != 0;
}

}  // namespace

const std::vector<OptionSpec<RunOptions>>& RunOptionTable() {
    static const std::vector<OptionSpec<RunOptions>> table = {
        {L"--targets", L"all|ID[,ID...]", L"the projects to run by ProjectID (default: all)", ApplyTargets},
        {L"--debug", nullptr, L"build the Debug configuration", SetFlag<&RunOptions::debug>},
        {L"--release", nullptr, L"build the Release configuration", SetFlag<&RunOptions::release>},
        {L"--rebuild-all", nullptr, L"C++ builds rebuild everything", SetFlag<&RunOptions::rebuildAll>},
        {L"--clean", nullptr, L"clean the C++ projects after the builds", SetFlag<&RunOptions::clean>},
        {L"--set-version", L"A.B.C.D", L"set every target's version (four numbers of 0 to 65535)", ApplySetVersion},
        {L"--auto-increment", nullptr, L"increment every target's version", SetFlag<&RunOptions::autoIncrement>},
        {L"--timeout", L"SECONDS", L"stop a builder running longer (1 to 86400) and fail its target", ApplyTimeout},
        {L"--junit", L"FILE", L"write the run as a JUnit XML file for a CI server", SetPath<&RunOptions::junitPath>},
        {L"--report", L"FILE.html", L"write the run as an HTML report with a timeline", SetPath<&RunOptions::reportPath>},
        {L"--with-dependencies", nullptr, L"also run every project the targets depend on",
         SetFlag<&RunOptions::withDependencies>},
        {L"--jobs", L"N", L"run up to N builders at once (1 to 64, default 1)", ApplyJobs},
    };
    return table;
}

ParseResult ParseRunOptions(const Arguments& args, RunOptions& options, std::wstring& problem) {
    options = RunOptions{};
    ParseResult result = ParsePackageCommand(L"run", args, RunOptionTable(), options, options.package, problem);
    if (result == ParseResult::Parsed && options.setVersion && options.autoIncrement) {
        problem = UsageProblem(L"'--set-version' and '--auto-increment' can't be used together");
        return ParseResult::Refused;
    }
    return result;
}

}  // namespace kw::cli
