// Parallel builds: 24 stand-ins that each sleep a fixed time, built one at a time and several at
// once, against the floor their own start and end times give in the same run: the sum of the
// builds one at a time, the longest chain (or the sum shared out) several at a time.
#include "EngineBench.h"

#include "engine/BuildCommands.h"
#include "win/Com.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

using namespace kwbench;

namespace {

constexpr int kProjects = 24;
constexpr int kChainLength = 6;  // the chained package: 4 chains of 6
constexpr int kBuildMs = 1000;

struct Span {
    double start = 0, end = 0;  // seconds, on the benchmark's clock
};

// Projects P1..P24; chained: each needs the one before it within its chain of six.
std::wstring MakePackage(const std::wstring& root, bool chained) {
    CreateDirectoryW(root.c_str(), nullptr);
    std::vector<kwtest::TestProject> projects;
    for (int i = 1; i <= kProjects; ++i) {
        kwtest::TestProject project;
        project.id = std::to_wstring(i);
        project.name = L"P" + std::to_wstring(i);
        project.folder = root + L"\\" + project.name;
        project.standIn = "duration=" + std::to_string(kBuildMs) + "\ntimes=times.txt\n";
        if (chained && (i - 1) % kChainLength != 0) project.dependencies = std::to_wstring(i - 1);
        projects.push_back(project);
    }
    kwtest::WriteProjects(projects);
    std::wstring package = root + L"\\bench.kwp";
    kwtest::WritePackage(package, projects);
    return package;
}

// What each stand-in says of itself; the times files are emptied for the next run.
std::vector<Span> ReadSpans(const std::wstring& root) {
    std::vector<Span> spans;
    for (int i = 1; i <= kProjects; ++i) {
        const std::wstring path = root + L"\\P" + std::to_wstring(i) + L"\\times.txt";
        std::istringstream in(kwtest::ReadBytes(path));
        DeleteFileW(path.c_str());
        Span span;
        std::string what, name;
        long long micros = 0;
        while (in >> what >> name >> micros) (what == "start" ? span.start : span.end) = static_cast<double>(micros) / 1e6;
        spans.push_back(span);
    }
    return spans;
}

struct Figures {
    double wall = 0, sum = 0, longestChain = 0;
    double firstStart = 0, lastEnd = 0;  // from the run's start / to its end
    double handOver = 0;                 // mean wait of a dependent after its dependency ended
    // Per build, on average: from the engine's start of the builder to the stand-in's first
    // moment, and from the stand-in's last moment to the engine's end of it.
    double launch = 0, drain = 0;
    bool complete = true;
};

Figures Measure(kw::PackageDocument& document, const std::wstring& root, const std::wstring& temporaryFolder,
                bool chained, int jobs, Receiver& receiver) {
    std::vector<int> targets;
    for (int i = 1; i <= kProjects; ++i) targets.push_back(i);
    // The outcome's times are the system clock's; this maps them onto the benchmark's.
    FILETIME systemNow;
    const double begun = Now();
    GetSystemTimeAsFileTime(&systemNow);
    const kw::RunTime systemBegun = (static_cast<kw::RunTime>(systemNow.dwHighDateTime) << 32) | systemNow.dwLowDateTime;
    auto onClock = [&](kw::RunTime at) { return begun + (static_cast<double>(at) - static_cast<double>(systemBegun)) / 1e7; };
    Figures f;
    kw::RunOutcome outcome;
    f.wall = RunThroughEngine(document, temporaryFolder, targets, receiver, jobs, &outcome);
    const double ended = begun + f.wall;
    std::vector<Span> spans = ReadSpans(root);
    double first = 1e300, last = 0, handOvers = 0;
    int handOverCount = 0;
    for (int i = 0; i < kProjects; ++i) {
        const Span& span = spans[i];
        if (span.end <= span.start) f.complete = false;
        f.sum += span.end - span.start;
        first = std::min(first, span.start);
        last = std::max(last, span.end);
        if (chained && i % kChainLength != 0) {
            handOvers += span.start - spans[i - 1].end;
            ++handOverCount;
        }
    }
    if (chained) {
        for (int chain = 0; chain < kProjects / kChainLength; ++chain) {
            double length = 0;
            for (int i = chain * kChainLength; i < (chain + 1) * kChainLength; ++i) length += spans[i].end - spans[i].start;
            f.longestChain = std::max(f.longestChain, length);
        }
    }
    int timed = 0;
    for (const kw::TargetOutcome& target : outcome.targets) {
        const int i = target.projectId - 1;
        if (i < 0 || i >= kProjects || target.steps.empty()) continue;
        f.launch += spans[i].start - onClock(target.steps[0].started);
        f.drain += onClock(target.steps[0].ended) - spans[i].end;
        ++timed;
    }
    if (timed) f.launch /= timed, f.drain /= timed;
    f.firstStart = first - begun;
    f.lastEnd = ended - last;
    f.handOver = handOverCount ? handOvers / handOverCount : 0;
    return f;
}

// The floor of the system itself: the same builds started and waited for directly, one after
// another, with how long a stand-in takes to begin after its start and to be gone after its end.
Figures RunDirectly(const std::wstring& root, const std::wstring& temporaryFolder, double& startDelay,
                    double& exitDelay) {
    const std::wstring visualStudio = kw::ReadRunEnvironment(temporaryFolder).visualStudioFolder;
    const std::wstring logPath = kw::LogFilePath(temporaryFolder, static_cast<long>(GetCurrentThreadId()));
    std::vector<double> launched, gone;
    const double begun = Now();
    for (int i = 1; i <= kProjects; ++i) {
        const std::wstring name = L"P" + std::to_wstring(i), folder = root + L"\\" + name;
        kw::BuildCommandInput input;
        input.visualStudioFolder = visualStudio;
        input.projectName = name;
        input.sourceFolder = folder;
        input.configuration = L"Win32 Debug";
        input.logPath = logPath;
        std::wstring line = kw::ComposeVisualCppCommandLine(input, kw::ActionDebug, false);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        launched.push_back(Now());
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                            nullptr, folder.c_str(), &startup, &process)) {
            gone.push_back(Now());
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        gone.push_back(Now());
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    Figures f;
    f.wall = Now() - begun;
    DeleteFileW(logPath.c_str());
    std::vector<Span> spans = ReadSpans(root);
    startDelay = exitDelay = 0;
    for (int i = 0; i < kProjects; ++i) {
        if (spans[i].end <= spans[i].start) f.complete = false;
        f.sum += spans[i].end - spans[i].start;
        startDelay += (spans[i].start - launched[i]) / kProjects;
        exitDelay += (gone[i] - spans[i].end) / kProjects;
    }
    return f;
}

void Print(const char* title, const Figures& f, double floor, double goal) {
    std::printf("%-38s wall %6.2f s, floor %6.2f s, ratio %6.3f  (goal <= %.2f)%s\n", title, f.wall, floor,
                f.wall / floor, goal, f.complete ? "" : "  [a build left no times]");
    std::printf("%-38s first start after %5.0f ms, end after last build %5.0f ms", "", f.firstStart * 1000,
                f.lastEnd * 1000);
    if (f.handOver > 0) std::printf(", dependent starts %4.0f ms after its dependency", f.handOver * 1000);
    std::printf("\n%-38s per build: stand-in begins %4.0f ms after the engine starts it, engine done %4.0f ms after "
                "its end\n", "", f.launch * 1000, f.drain * 1000);
}

}  // namespace

int wmain() {
    kw::ComApartment com;
    const std::wstring temporaryFolder = TemporaryFolder();
    const std::wstring root = temporaryFolder + L"\\kw-bench-parallel-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring chainedRoot = root + L"\\chains", flatRoot = root + L"\\flat";
    kw::PackageDocument chained, flat;
    if (chained.OpenPackage(MakePackage(chainedRoot, true)) != 0 || flat.OpenPackage(MakePackage(flatRoot, false)) != 0) {
        std::printf("the benchmark packages could not be opened\n");
        return 1;
    }
    Receiver receiver;
    std::printf("%d stand-ins of %d ms each; chained package: %d chains of %d\n", kProjects, kBuildMs,
                kProjects / kChainLength, kChainLength);

    double startDelay = 0, exitDelay = 0;
    Figures direct = RunDirectly(flatRoot, temporaryFolder, startDelay, exitDelay);
    std::printf("%-38s wall %6.2f s, floor %6.2f s, ratio %6.3f\n", "direct, one at a time: wall / sum", direct.wall,
                direct.sum, direct.wall / direct.sum);
    std::printf("%-38s a stand-in begins %4.0f ms after its start and is gone %4.0f ms after its end\n", "",
                startDelay * 1000, exitDelay * 1000);
    Figures one = Measure(chained, chainedRoot, temporaryFolder, true, 1, receiver);
    Print("N=1, chains: wall / sum", one, one.sum, 1.05);
    Figures four = Measure(chained, chainedRoot, temporaryFolder, true, 4, receiver);
    Print("N=4, chains: wall / max(chain, sum/4)", four, std::max(four.longestChain, four.sum / 4), 1.10);
    Figures eight = Measure(flat, flatRoot, temporaryFolder, false, 8, receiver);
    Print("N=8, independent: wall / (sum/8)", eight, eight.sum / 8, 1.15);

    chained.ClosePackage();
    flat.ClosePackage();
    RemoveTree(root);
    return 0;
}
