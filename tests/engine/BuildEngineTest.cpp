// The controller and the worker: run settings, the refusal, the fixed order of steps, whole runs
// over packages of stand-in projects with their outcomes and summary, stopping and time-outs.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildController.h"
#include "engine/MakeRunRecord.h"
#include "engine/ProcessLauncher.h"
#include "engine/RunSetup.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <cwchar>
#include <sstream>
#include <stdexcept>

namespace kw {
namespace {

using kwtest::TestProject;
using Lines = std::vector<std::wstring>;

// The lines with the summary's wall time taken out ("..., 0 not run, in 0.4 s." -> "..., 0 not
// run."), once seen to be there.
Lines WithoutWallTime(Lines lines) {
    for (std::wstring& line : lines) {
        if (line.rfind(L"Summary: ", 0) != 0) continue;
        const size_t in = line.rfind(L" not run, in ");
        EXPECT_TRUE(in != std::wstring::npos && line.size() > in + 15 && line.substr(line.size() - 3) == L" s.")
            << ToUtf8(line);
        if (in != std::wstring::npos) line = line.substr(0, in) + L" not run.";
    }
    return lines;
}

// The runner's seam to the system, failing on request.
struct FaultyLauncher : ProcessLauncher {
    int fault = 0;  // 1: no done event, 2: no runner thread, 3: throws
    KernelHandle CreateDoneEvent() override { return fault == 1 ? KernelHandle() : ProcessLauncher::CreateDoneEvent(); }
    KernelHandle StartRunnerThread(ThreadProcedure procedure, void* argument) override {
        return fault == 2 ? KernelHandle() : ProcessLauncher::StartRunnerThread(procedure, argument);
    }
    BOOL StartProcess(wchar_t* commandLine, const wchar_t* folder, DWORD flags, PROCESS_INFORMATION& process) override {
        if (fault == 3) throw std::bad_alloc();
        return ProcessLauncher::StartProcess(commandLine, folder, flags, process);
    }
};

// A package of stand-in projects in a scratch folder, run the way both front ends start a run.
// Project and temporary folders hold blanks and parentheses.
class EngineRunTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(temporaryFolder_.c_str(), nullptr); }

    TestProject Project(int id, const std::wstring& name, const std::wstring& compiler = L"VC6",
                        const std::string& standIn = "") {
        return {std::to_wstring(id), name, compiler, dir_.File(L"Program Files (x86)\\" + name), L"Win32 Debug", L"Win32 Release",
                "journal=" + ToUtf8(journal_) + "\n" + standIn};
    }

    // Writes everything, opens the package, sets the run up and starts it. StartRun's result.
    int Start(const std::vector<TestProject>& projects, std::vector<int> targets, int actions) {
        DeleteFileW(journal_.c_str());
        kwtest::WriteProjects(projects);
        kwtest::WritePackage(dir_.File(L"test.kwp"), projects);
        EXPECT_EQ(document_.OpenPackage(dir_.File(L"test.kwp")), 0);
        receiver_.Clear();
        PreparedRun prepared = SetUpRun(document_, Choices(targets, actions), Environment());
        EXPECT_EQ(prepared.refusal, RunRefusal::None) << ToUtf8(prepared.message);
        controller_ = std::make_unique<BuildController>(&launcher_);
        return controller_->StartRun(std::move(prepared.job), receiver_.Window(), receiver_.ListBox());
    }

    RunChoices Choices(std::vector<int> targets, int actions) const {
        RunChoices choices;
        choices.targets = std::move(targets);
        choices.debug = actions & ActionDebug;
        choices.release = actions & ActionRelease;
        choices.rebuildAll = actions & ActionRebuildAll;
        choices.clean = actions & ActionClean;
        choices.version = actions & (ActionSetVersion | ActionAutoIncrement);
        choices.autoIncrement = actions & ActionAutoIncrement;
        choices.numbers = VersionQuad{1, 2, 3, 4};
        choices.builderTimeoutSeconds = timeoutSeconds_;
        choices.parallelBuilds = parallelBuilds_;
        choices.withDependencies = withDependencies_;
        return choices;
    }
    RunEnvironment Environment() const {
        RunEnvironment environment;
        environment.temporaryFolder = temporaryFolder_;
        environment.visualStudioFolder = visualStudioFolder_;
        return environment;
    }

    // ... and runs it to its end.
    void Run(const std::vector<TestProject>& projects, std::vector<int> targets, int actions) {
        ASSERT_EQ(Start(projects, targets, actions), 0);
        ASSERT_TRUE(receiver_.PumpUntilFinished()) << "the run never ended";
        receiver_.Pump();
        EXPECT_EQ(receiver_.Finished(), 1);
        EXPECT_FALSE(receiver_.ForeignListBox());
        EXPECT_TRUE(controller_->WaitForEnd(10000));
        EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"") << "every log and side copy is gone";
    }
    const RunOutcome& Outcome() const { return controller_->Outcome(); }

    bool Shows(const std::wstring& line) const {
        return std::count(receiver_.Lines().begin(), receiver_.Lines().end(), line) > 0;
    }

    // The summary: its first line and one line per target that did not succeed.
    Lines Summary() const {
        const Lines& lines = receiver_.Lines();
        auto first = [](const std::wstring& line) { return line.rfind(L"Summary: ", 0) == 0; };
        return WithoutWallTime(Lines(std::find_if(lines.begin(), lines.end(), first), lines.end()));
    }

    // What each builder was asked to do, in order: "MSDEV <configuration>[ /REBUILD]",
    // "MSDEV <project file> /CLEAN" or "vb6 <project file>".
    Lines Invocations() const {
        auto name = [](const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); };
        Lines calls;
        std::wistringstream journal(FromUtf8(kwtest::ReadBytes(journal_)));
        for (std::wstring line; std::getline(journal, line);) {
            Lines args = kwtest::SplitCommandLine(line.substr(0, line.size() - 1));  // without the CR
            if (name(args[0]) == L"vb6.exe") calls.push_back(L"vb6 " + name(args[4]));
            else if (args[2] == L"/CLEAN") calls.push_back(L"MSDEV " + name(args[1]) + L" /CLEAN");
            else calls.push_back(L"MSDEV " + args[3] + (args[4] == L"/REBUILD" ? L" /REBUILD" : L""));
        }
        return calls;
    }

    kwtest::ScratchDir dir_{L"engine"};
    std::wstring temporaryFolder_ = dir_.File(L"temp with blanks");
    std::wstring journal_ = dir_.File(L"journal.txt");
    PackageDocument document_;
    kwtest::RunReceiver receiver_;
    std::wstring visualStudioFolder_ = kwtest::StandInVisualStudioFolder();
    const std::wstring msdev_ = visualStudioFolder_ + L"\\MSDEV98\\Bin\\MSDEV";
    DWORD timeoutSeconds_ = 0;
    int parallelBuilds_ = 1;
    bool withDependencies_ = false;
    FaultyLauncher launcher_;
    std::unique_ptr<BuildController> controller_;
};

TEST_F(EngineRunTest, SetUpCopiesTheChoicesNamesWhatItLeavesOutOrRefuses) {
    std::vector<TestProject> projects = {Project(2, L"Calc"), Project(1, L"Tool", L"VB6"), Project(2, L"Twin")};
    projects.push_back(Project(0, L"Letters"));
    projects.back().id = L"abc";
    kwtest::WriteProjects(projects);
    kwtest::WritePackage(dir_.File(L"test.kwp"), projects);
    ASSERT_EQ(document_.OpenPackage(dir_.File(L"test.kwp")), 0);

    PreparedRun prepared = SetUpRun(document_, Choices({2, 1, 2}, ActionDebug | ActionRebuildAll), Environment());
    ASSERT_EQ(prepared.refusal, RunRefusal::None);
    const RunJob& job = prepared.job;
    EXPECT_EQ(job.actions, ActionDebug | ActionRebuildAll);
    EXPECT_EQ(job.version.major, 0u) << "no version action, no numbers";
    ASSERT_EQ(job.targets.size(), 2u);
    EXPECT_EQ(job.targets[0].record.name + L" " + job.targets[1].record.name, L"Tool Calc");
    EXPECT_EQ(job.targets[1].resourceFile, projects[0].folder + L"\\Calc.rc");
    EXPECT_EQ(job.setupLines, Lines{L"Project 'Twin' has no usable ProjectID (2, as an earlier project's); it is not run."});
    EXPECT_EQ(job.visualStudioFolder, visualStudioFolder_);

    // Dependencies that make no sense refuse the run before anything is stamped or started.
    const struct {
        const wchar_t *calc, *tool;
        std::wstring message;
    } dependencyRefusals[] = {
        {L"9", L"", L"Project 'Calc' depends on 9, which the package does not have."},
        {L"1", L"2", L"Projects depend on each other in a circle: Calc -> Tool -> Calc."},
        {L"x", L"", L"Project 'Calc' lists its dependencies as 'x', which is not a list of project numbers separated by commas."},
    };
    for (const auto& r : dependencyRefusals) {
        projects[0].dependencies = r.calc;
        projects[1].dependencies = r.tool;
        kwtest::WritePackage(dir_.File(L"bad.kwp"), projects);
        PackageDocument bad;
        ASSERT_EQ(bad.OpenPackage(dir_.File(L"bad.kwp")), 0);
        PreparedRun refused = SetUpRun(bad, Choices({1}, ActionSetVersion | ActionDebug), Environment());
        EXPECT_EQ(refused.refusal, RunRefusal::Dependencies);
        EXPECT_EQ(refused.message, r.message);
        EXPECT_EQ(refused.ExitCode(), kExitUnusable);
        EXPECT_TRUE(refused.job.targets.empty() && refused.job.setupLines.empty());
    }

    const std::wstring missing = dir_.File(L"missing");
    const struct {
        std::vector<int> targets;
        int actions;
        std::wstring temporaryFolder;
        RunRefusal refusal;
        std::wstring message;
        int exitCode;
    } refusals[] = {
        {{9, 1}, ActionDebug, temporaryFolder_, RunRefusal::UnknownTarget, L"Unknown target: 9", kExitUsage},
        {{1}, ActionRebuildAll | ActionClean, temporaryFolder_, RunRefusal::NothingToDo,
         L"No action was selected for execution.", kExitUsage},
        {{1}, ActionDebug, missing, RunRefusal::Unusable,
         L"The folder for temporary files " + missing + L" can't be used: it does not exist.", kExitUnusable},
    };
    for (const auto& r : refusals) {
        RunEnvironment environment = Environment();
        environment.temporaryFolder = r.temporaryFolder;
        PreparedRun refused = SetUpRun(document_, Choices(r.targets, r.actions), environment);
        EXPECT_EQ(refused.refusal, r.refusal) << ToUtf8(r.message);
        EXPECT_EQ(refused.message, r.message);
        EXPECT_EQ(refused.ExitCode(), r.exitCode);
        EXPECT_TRUE(refused.job.targets.empty());
    }
}

TEST_F(EngineRunTest, RunsCanNotInterfere) {
    std::vector<TestProject> projects = {Project(1, L"Slow", L"VC6", "hang=1500\n"), Project(2, L"Calc")};
    ASSERT_EQ(Start(projects, {1}, ActionDebug), 0);
    // A second start of the same controller is refused and leaves the running job alone.
    PreparedRun other = SetUpRun(document_, Choices({2}, ActionRelease | ActionClean), Environment());
    EXPECT_EQ(controller_->StartRun(std::move(other.job), receiver_.Window(), receiver_.ListBox()), kStartFailed);
    // Another controller, made and run meanwhile, and the package closed under both: each run has
    // its own copy of everything.
    kwtest::RunReceiver otherReceiver;
    {
        BuildController second;
        PreparedRun stamp = SetUpRun(document_, Choices({2}, ActionSetVersion), Environment());
        document_.ClosePackage();
        ASSERT_EQ(second.StartRun(std::move(stamp.job), otherReceiver.Window(), otherReceiver.ListBox()), 0);
        ASSERT_TRUE(otherReceiver.PumpUntilFinished());
    }
    EXPECT_EQ(WithoutWallTime(otherReceiver.Lines()).back(), L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run.");
    ASSERT_TRUE(receiver_.PumpUntilFinished());
    EXPECT_TRUE(controller_->WaitForEnd(10000));
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Slow - Win32 Debug"}));
    EXPECT_EQ(Summary(), Lines{L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run."});
    EXPECT_EQ(receiver_.Lines().front().rfind(L"------", 0), 0u) << "no line of the other run";
    const StepOutcome& step = Outcome().targets.at(0).steps.at(0);
    EXPECT_GT(step.ended, step.started);
    EXPECT_NE(kwtest::ReadBytes(projects[1].folder + L"\\Calc.rc").find("FILEVERSION 1,2,3,4"), std::string::npos);
}

TEST_F(EngineRunTest, ARunWhoseEndCanNotBePostedStillEnds) {
    HWND gone = nullptr;
    {
        kwtest::RunReceiver receiver;
        gone = receiver.Window();
    }
    std::vector<TestProject> projects = {Project(1, L"Calc")};
    kwtest::WriteProjects(projects);
    kwtest::WritePackage(dir_.File(L"test.kwp"), projects);
    ASSERT_EQ(document_.OpenPackage(dir_.File(L"test.kwp")), 0);
    BuildController controller;
    ASSERT_EQ(controller.StartRun(SetUpRun(document_, Choices({1}, ActionDebug), Environment()).job, gone, nullptr), 0);
    // The front end's watch: the worker has ended and said so to nobody.
    for (int i = 0; i < 400 && !controller.EndedUnannounced(); ++i) Sleep(50);
    EXPECT_TRUE(controller.EndedUnannounced());
    ASSERT_TRUE(controller.WaitForEnd(0));
    EXPECT_EQ(controller.Outcome().ExitCode(), kExitSucceeded);
    EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
}

TEST_F(EngineRunTest, StepsRunInTheirFixedOrder) {
    std::vector<TestProject> projects = {Project(1, L"Tool", L"VB6"), Project(2, L"Calc"), Project(3, L"MathLib")};
    Run(projects, {1, 2, 3}, ActionDebug | ActionRelease);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Calc - Win32 Debug", L"MSDEV MathLib - Win32 Debug",
                                    L"MSDEV Calc - Win32 Release", L"MSDEV MathLib - Win32 Release", L"vb6 Tool.vbp"}));
    EXPECT_EQ(Summary(), Lines{L"Summary: 3 targets, 3 succeeded, 0 failed, 0 not run."});
    EXPECT_TRUE(kwtest::FileExists(projects[1].folder + L"\\Debug\\Calc.exe"));
    EXPECT_TRUE(kwtest::FileExists(projects[2].folder + L"\\Release\\MathLib.exe"));
    EXPECT_TRUE(kwtest::FileExists(projects[0].folder + L"\\Tool.exe"));
    EXPECT_EQ(Outcome().ExitCode(), kExitSucceeded);

    // Clean comes last, Rebuild All only reaches the IDE; version and clean alone run no build.
    Run({projects[1], projects[0]}, {2, 1}, ActionRelease | ActionRebuildAll | ActionClean);
    EXPECT_EQ(Invocations(),
              (Lines{L"MSDEV Calc - Win32 Release /REBUILD", L"vb6 Tool.vbp", L"MSDEV Calc.dsp /CLEAN"}));
    EXPECT_FALSE(kwtest::FileExists(projects[1].folder + L"\\Release\\Calc.exe"));
    Run({projects[1], projects[0]}, {2, 1}, ActionRebuildAll | ActionClean | ActionSetVersion);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Calc.dsp /CLEAN"}));
    EXPECT_FALSE(Shows(L"Building Tool ..."));
    // An empty target list still ends.
    Run({projects[1]}, {}, ActionDebug | ActionRelease | ActionClean);
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()), (Lines{L"Summary: 0 targets, 0 succeeded, 0 failed, 0 not run."}));
}

TEST_F(EngineRunTest, DependenciesOrderEveryStepAndAFailureLeavesItsDependentsOut) {
    TestProject app = Project(1, L"App"), lib = Project(2, L"Lib"), tool = Project(3, L"Tool", L"VB6"),
                other = Project(4, L"Other");
    app.dependencies = L"2";
    tool.dependencies = L"1";
    Run({app, lib, tool, other}, {1, 2, 3, 4}, ActionDebug | ActionClean);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Lib - Win32 Debug", L"MSDEV App - Win32 Debug", L"MSDEV Other - Win32 Debug",
                                    L"vb6 Tool.vbp", L"MSDEV Lib.dsp /CLEAN", L"MSDEV App.dsp /CLEAN",
                                    L"MSDEV Other.dsp /CLEAN"}));
    EXPECT_EQ(Summary(), Lines{L"Summary: 4 targets, 4 succeeded, 0 failed, 0 not run."});

    // A dependency that is not a target is said once and not built; --with-dependencies adds it.
    Run({app, lib, other}, {1}, ActionDebug);
    EXPECT_EQ(receiver_.Lines().front(), L"App needs Lib, which is not a target; it is not built.");
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV App - Win32 Debug"}));
    withDependencies_ = true;
    Run({app, lib, other}, {1}, ActionDebug);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Lib - Win32 Debug", L"MSDEV App - Win32 Debug"}));
    withDependencies_ = false;

    lib.standIn += "result=fail\n";
    Run({app, lib, other}, {1, 2, 4}, ActionDebug);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Lib - Win32 Debug", L"MSDEV Other - Win32 Debug"}));
    EXPECT_TRUE(Shows(L"App: not run: it needs Lib, which failed"));
    EXPECT_EQ(Summary(), (Lines{L"Summary: 3 targets, 1 succeeded, 1 failed, 1 not run.",
                                L"  Lib (Win32 Debug): 1 error(s), 0 warning(s)",
                                L"  App (Win32 Debug): not run: it needs Lib, which failed"}));
    EXPECT_EQ(Outcome().ExitCode(), kExitFailed);
}

// When each stand-in of a project folder started and ended (performance counter, microseconds).
struct Span {
    long long start = 0, end = 0;
};
Span ReadSpan(const std::wstring& folder) {
    Span span;
    std::istringstream in(kwtest::ReadBytes(folder + L"\\times.txt"));
    std::string what, name;
    long long at = 0;
    while (in >> what >> name >> at) (what == "start" ? span.start : span.end) = at;
    return span;
}

TEST_F(EngineRunTest, ParallelBuildsOverlapUpToTheLimitAndEveryTaggedLineIsWhole) {
    parallelBuilds_ = 3;
    std::vector<TestProject> projects;
    for (int id = 1; id <= 5; ++id) {
        projects.push_back(Project(id, L"P" + std::to_wstring(id), L"VC6",
                                   "duration=900\ntimes=times.txt\nmirror=mirror.log\nflood=30000\nfloodms=600\n"));
    }
    projects[1].dependencies = L"1";
    Run(projects, {1, 2, 3, 4, 5}, ActionDebug);
    EXPECT_EQ(Summary().front(), L"Summary: 5 targets, 5 succeeded, 0 failed, 0 not run.");
    EXPECT_EQ(Summary().back().rfind(L"Builds ran up to 3 at a time; one after another they would have taken ", 0), 0u)
        << ToUtf8(Summary().back());

    // The builders' own account: never more than three at once, at least two, and P2 after P1.
    std::vector<std::pair<long long, int>> events;
    std::vector<Span> spans;
    for (const TestProject& project : projects) {
        spans.push_back(ReadSpan(project.folder));
        ASSERT_GT(spans.back().end, spans.back().start) << ToUtf8(project.name);
        events.push_back({spans.back().start, +1});
        events.push_back({spans.back().end, -1});
    }
    std::sort(events.begin(), events.end());  // an end before a start at the same moment
    int running = 0, most = 0;
    for (const auto& event : events) most = std::max(most, running += event.second);
    EXPECT_LE(most, 3);
    EXPECT_GE(most, 2);
    EXPECT_GE(spans[1].start, spans[0].end);

    // Every line before the summary names its target, and each target's lines are its log, whole
    // and in order.
    std::map<std::wstring, Lines> byTarget;
    for (const std::wstring& line : receiver_.Lines()) {
        if (line.rfind(L"Summary: ", 0) == 0) break;
        size_t tag = line.find(L'>');
        ASSERT_TRUE(tag != std::wstring::npos && tag > 0 && std::all_of(line.begin(), line.begin() + tag, iswdigit))
            << ToUtf8(line);
        byTarget[line.substr(0, tag)].push_back(line.substr(tag + 1));
    }
    for (const TestProject& project : projects) {
        Lines mirrored;
        std::istringstream in(kwtest::ReadBytes(project.folder + L"\\mirror.log"));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) mirrored.push_back(FromUtf8(line));
        }
        EXPECT_GT(mirrored.size(), 100u);
        EXPECT_TRUE(byTarget[project.id] == mirrored) << ToUtf8(project.name);
    }
}

TEST_F(EngineRunTest, InAParallelRunATimeOutEndsOneBuilderAndAStopEndsThemAll) {
    parallelBuilds_ = 2;
    timeoutSeconds_ = 2;
    std::vector<TestProject> projects = {Project(1, L"Slow", L"VC6", "hang=60000\n"),
                                         Project(2, L"Quick", L"VC6", "duration=1000\n"),
                                         Project(3, L"Next", L"VC6", "duration=1600\n")};
    projects[2].dependencies = L"2";  // runs while Slow times out
    Run(projects, {1, 2, 3}, ActionDebug);
    EXPECT_TRUE(Shows(L"1>" + msdev_ + L" timed out after 2 s and was stopped."));
    EXPECT_EQ(Summary().at(0), L"Summary: 3 targets, 2 succeeded, 1 failed, 0 not run.");
    EXPECT_EQ(Summary().at(1), L"  Slow (Win32 Debug): timed out");

    timeoutSeconds_ = 0;
    parallelBuilds_ = 3;
    projects.clear();
    for (int id = 1; id <= 4; ++id) {
        projects.push_back(Project(id, L"Hangs" + std::to_wstring(id), L"VC6", "hang=120000\nspawn=child.pid\n"));
    }
    ASSERT_EQ(Start(projects, {1, 2, 3, 4}, ActionDebug | ActionRelease), 0);
    auto allStarted = [&] {
        for (int i = 0; i < 3; ++i)
            if (!kwtest::FileExists(projects[i].folder + L"\\child.pid")) return false;
        return true;
    };
    for (int i = 0; i < 400 && !allStarted(); ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        receiver_.Pump();
    }
    ASSERT_TRUE(allStarted());
    controller_->StopRun();
    ASSERT_TRUE(receiver_.PumpUntilFinished());
    EXPECT_TRUE(controller_->WaitForEnd(10000));
    for (int i = 0; i < 3; ++i) {
        DWORD pid = std::wcstoul(FromUtf8(kwtest::ReadBytes(projects[i].folder + L"\\child.pid")).c_str(), nullptr, 10);
        HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
        EXPECT_TRUE(!child || WaitForSingleObject(child, 5000) == WAIT_OBJECT_0) << "a builder's child outlived the stop";
        if (child) CloseHandle(child);
    }
    EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
    EXPECT_EQ(Invocations().size(), 3u) << "the fourth never started";
    EXPECT_EQ(Summary().at(0), L"Summary: 4 targets, 0 succeeded, 0 failed, 4 not run.");
    EXPECT_EQ(Outcome().ExitCode(), kExitStopped);
}

TEST_F(EngineRunTest, EveryFailureIsNamedInTheSummary) {
    const std::string standIns[] = {"result=fail\n", "result=crash\n", "exitcode=259\nhang=700\n", "exitcode=3\n", ""};
    std::vector<TestProject> projects;
    for (int id = 1; id <= 5; ++id) {
        projects.push_back(Project(id, L"P" + std::to_wstring(id), L"VC6", standIns[id - 1]));
    }
    Run(projects, {1, 2, 3, 4, 5}, ActionDebug);
    EXPECT_EQ(Invocations().size(), 5u);
    const Lines shown = {L"P1.exe - 1 error(s), 0 warning(s)", L"P5.exe - 0 error(s), 0 warning(s)",
                         msdev_ + L" crashed (exception 0xC0000005).", msdev_ + L" ended with exit code 259.",
                         msdev_ + L" ended with exit code 3."};
    for (const std::wstring& line : shown) EXPECT_TRUE(Shows(line)) << ToUtf8(line);
    EXPECT_EQ(Summary(), (Lines{L"Summary: 5 targets, 1 succeeded, 4 failed, 0 not run.",
                                L"  P1 (Win32 Debug): 1 error(s), 0 warning(s)",
                                L"  P2 (Win32 Debug): crashed (exception 0xC0000005)",
                                L"  P3 (Win32 Debug): exit code 259", L"  P4 (Win32 Debug): exit code 3"}));
    EXPECT_EQ(Outcome().ExitCode(), kExitFailed);
}

TEST_F(EngineRunTest, BuildersThatCanNotStartSayWhy) {
    // Too long a command line is refused before anything starts.
    TestProject wordy = Project(4, L"Wordy");
    wordy.debugConfig = std::wstring(40000, L'c');
    Run({wordy}, {4}, ActionDebug);
    EXPECT_EQ(receiver_.Lines()[0].rfind(L"Could not start " + msdev_ + L": its command line is 40", 0), 0u)
        << ToUtf8(receiver_.Lines()[0]);

    visualStudioFolder_ = L"<not installed>";
    Run({Project(1, L"Calc"), Project(2, L"Tool", L"VB6"), Project(3, L"Other", L"VB6")}, {1, 2, 3}, ActionDebug);
    EXPECT_TRUE(Invocations().empty());
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()),
              (Lines{L"Could not start <not installed>\\MSDEV98\\Bin\\MSDEV: File not found (error 2).",
                     L"Building Tool ...", L"Could not start <not installed>\\..\\vb98\\vb6.exe: File not found (error 2).",
                     L"Building Other ...", L"Could not start <not installed>\\..\\vb98\\vb6.exe: File not found (error 2).",
                     L"Summary: 3 targets, 0 succeeded, 3 failed, 0 not run.",
                     L"  Calc (Win32 Debug): could not start the IDE", L"  Tool: could not start the compiler",
                     L"  Other: could not start the compiler"}));
    EXPECT_EQ(Outcome().ExitCode(), kExitNotStarted);
}

TEST_F(EngineRunTest, TheBasicStepEndsAtAProjectWithoutFolder) {
    std::vector<TestProject> projects = {Project(1, L"One", L"VB6"), Project(2, L"Two", L"VB6"),
                                         Project(3, L"Three", L"VB6"), Project(4, L"Calc")};
    kwtest::WriteProjects(projects);
    projects[1].folder.clear();
    Run(projects, {1, 2, 3, 4}, ActionDebug);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Calc - Win32 Debug", L"vb6 One.vbp"}));
    EXPECT_EQ(Summary(), (Lines{L"Summary: 4 targets, 2 succeeded, 1 failed, 1 not run.", L"  Two: no name or source folder",
                                L"  Three: not built: the Visual Basic builds ended early"}));
}

// What the run's records are made of: every step of every kind notes when it began and ended
// and keeps the target's own lines of it; a step the run never reached has no times.
TEST_F(EngineRunTest, EveryStepNotesItsTimesAndItsOwnLines) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Broken"), Project(3, L"Tool", L"VB6"),
                                         Project(4, L"Gone", L"VB6"), Project(5, L"Late", L"VB6")};
    projects[1].resource = "no version here\r\n";
    kwtest::WriteProjects(projects);
    projects[3].folder.clear();
    Run(projects, {1, 2, 3, 4, 5}, ActionSetVersion | ActionDebug | ActionClean);
    const RunRecord record = MakeRunRecord(controller_->Job(), Outcome());
    EXPECT_EQ(record.packageName, L"Test");
    EXPECT_EQ(record.packagePath, dir_.File(L"test.kwp"));
    EXPECT_EQ(record.actions, L"Debug, clean, set version 1.2.3.4");
    EXPECT_EQ(record.summary.at(0).rfind(L"Summary: 5 targets, 2 succeeded, 2 failed, 1 not run, in ", 0), 0u);
    std::vector<std::wstring> steps;
    for (const TargetRecord& target : record.targets) {
        for (const StepRecord& step : target.steps) {
            const std::wstring name = StepDisplayName(target, step) + L": " + StepVerdictWords(step);
            steps.push_back(name);
            SCOPED_TRACE(ToUtf8(name));
            if (step.verdict == StepRecord::NotRun) {
                EXPECT_FALSE(step.Began());
                continue;
            }
            ASSERT_TRUE(step.Began());
            EXPECT_LE(step.endMs, record.durationMs);
            EXPECT_FALSE(step.lines.empty());
        }
    }
    EXPECT_EQ(steps, (Lines{L"Calc (version): succeeded", L"Calc (Win32 Debug): succeeded", L"Calc (clean): succeeded",
                            L"Broken (version): failed: version not stamped (no version line)",
                            L"Broken (Win32 Debug): succeeded", L"Broken (clean): succeeded",
                            L"Tool (version): succeeded", L"Tool (Visual Basic): succeeded",
                            L"Gone (version): failed: version not stamped (file missing)",
                            L"Gone (Visual Basic): failed: no name or source folder", L"Late (version): succeeded",
                            L"Late (Visual Basic): not run: not built: the Visual Basic builds ended early"}));
    // Each step's lines are its own: the builder's log, the run's lines about that target.
    const TargetRecord& calc = record.targets[0];
    EXPECT_EQ(calc.stampedVersion, L"1.2.3.4");
    EXPECT_EQ(calc.steps[1].lines.back(), L"Calc.exe - 0 error(s), 0 warning(s)");
    EXPECT_EQ(calc.steps[1].errors, 0);
    EXPECT_EQ(record.targets[2].steps[1].lines,
              (Lines{L"Building Tool ...", L"Build of '" + projects[2].folder + L"\\Tool.exe' succeeded."}));
    EXPECT_EQ(record.targets[2].stampedVersion, L"1.2.3");
    EXPECT_EQ(record.targets[3].steps[1].lines,
              Lines{L"Gone has no name or source folder; the Visual Basic builds end here."});
    EXPECT_NE(record.targets[1].steps[0].lines.back().find(L"No version line found"), std::wstring::npos)
        << ToUtf8(record.targets[1].steps[0].lines.back());
}

TEST(StepLog, KeepsTheHeadAndTheTailOfAFloodedLog) {
    StepLog log(30, 12);
    log.AddLine(L"Building X ...");
    std::string piece;
    for (int i = 0; i < 100000; ++i) piece += "line " + std::to_string(i) + "\r\n";
    for (size_t at = 0; at < piece.size(); at += 2048) log.AddPiece(std::string_view(piece).substr(at, 2048));
    log.AddPiece("cut in the mid");
    log.AddPiece("dle");
    log.EndPieces();
    EXPECT_EQ(log.Lines(), (Lines{L"Building X ...", L"line 0", L"line 1", L"\x2026 99998 lines not kept",
                                  L"cut in the middle"}));
}

TEST_F(EngineRunTest, FloodedLogIsDeliveredWhole) {
    Run({Project(1, L"Big", L"VC6", "flood=3000000\nmirror=mirror.log\n")}, {1}, ActionDebug);
    std::string written = kwtest::ReadBytes(dir_.File(L"Program Files (x86)\\Big\\mirror.log"));
    EXPECT_EQ(receiver_.NarrowBytes().size(), written.size());
    EXPECT_TRUE(receiver_.NarrowBytes() == written);
}

TEST_F(EngineRunTest, BlanksAndQuotesReachTheBuilderWhole) {
    TestProject calc = Project(1, L"My Calc");
    calc.debugConfig = L"Win32 \"Debug\" /CLEAN /OUT x";
    TestProject tool = Project(2, L"Report Tool", L"VB6");
    Run({calc, tool}, {1, 2}, ActionDebug | ActionRelease);
    // The hostile Debug configuration stays one argument: the builder reports it unknown.
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV My Calc - Win32 \"Debug\" /CLEAN /OUT x", L"MSDEV My Calc - Win32 Release",
                                    L"vb6 Report Tool.vbp"}));
    EXPECT_TRUE(Shows(L"Error: Project configuration \"My Calc - Win32 \"Debug\" /CLEAN /OUT x\" not found in " +
                      calc.folder + L"\\My Calc.dsp."));
    EXPECT_TRUE(kwtest::FileExists(calc.folder + L"\\Release\\My Calc.exe"));
    EXPECT_TRUE(Shows(L"Build of '" + tool.folder + L"\\Report Tool.exe' succeeded."));
}

TEST_F(EngineRunTest, StopEndsTheBuildersTreeAndTheRun) {
    std::vector<TestProject> projects = {Project(1, L"Slow", L"VC6", "hang=120000\nspawn=child.pid\n"),
                                         Project(2, L"Later")};
    ASSERT_EQ(Start(projects, {1, 2}, ActionDebug | ActionRelease), 0);
    // Stop once the builder is well under way.
    while (!Shows(L"Helpers.cpp") && receiver_.Finished() == 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        receiver_.Pump();
    }
    controller_->StopRun();
    controller_->StopRun();  // twice changes nothing
    ASSERT_TRUE(receiver_.PumpUntilFinished());
    receiver_.Pump();
    EXPECT_EQ(receiver_.Finished(), 1);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Slow - Win32 Debug"}));
    DWORD pid = std::wcstoul(FromUtf8(kwtest::ReadBytes(projects[0].folder + L"\\child.pid")).c_str(), nullptr, 10);
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    EXPECT_TRUE(!child || WaitForSingleObject(child, 5000) == WAIT_OBJECT_0) << "the builder's child outlived the stop";
    if (child) CloseHandle(child);
    EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
    EXPECT_EQ(Summary(), (Lines{L"Summary: 2 targets, 0 succeeded, 0 failed, 2 not run.", L"  Slow (Win32 Debug): stopped",
                                L"  Later: not run"}));
    EXPECT_EQ(receiver_.Lines()[receiver_.Lines().size() - 4], L"Run stopped.");
    EXPECT_TRUE(controller_->WaitForEnd(10000));
    EXPECT_EQ(Outcome().ExitCode(), kExitStopped);
    // Its record names every step it planned: the one the stop cut short, those it never reached.
    const RunRecord record = MakeRunRecord(controller_->Job(), Outcome());
    EXPECT_TRUE(record.stopped);
    ASSERT_EQ(record.targets.size(), 2u);
    std::vector<std::wstring> steps;
    for (const TargetRecord& target : record.targets) {
        for (const StepRecord& step : target.steps) steps.push_back(StepDisplayName(target, step) + L": " + StepVerdictWords(step));
    }
    EXPECT_EQ(steps, (Lines{L"Slow (Win32 Debug): stopped", L"Slow (Win32 Release): not run: the run was stopped",
                            L"Later (Win32 Debug): not run: the run was stopped",
                            L"Later (Win32 Release): not run: the run was stopped"}));
    EXPECT_NE(std::find(record.targets[0].steps[0].lines.begin(), record.targets[0].steps[0].lines.end(), L"Helpers.cpp"),
              record.targets[0].steps[0].lines.end());
    controller_->StopRun();  // no run: nothing happens
}

TEST_F(EngineRunTest, TimeOutFailsTheTargetAndTheRunGoesOn) {
    timeoutSeconds_ = 1;
    Run({Project(1, L"Slow", L"VC6", "hang=60000\n"), Project(2, L"Fine")}, {1, 2}, ActionDebug);
    EXPECT_TRUE(Shows(msdev_ + L" timed out after 1 s and was stopped."));
    EXPECT_EQ(Summary(), (Lines{L"Summary: 2 targets, 1 succeeded, 1 failed, 0 not run.", L"  Slow (Win32 Debug): timed out"}));
}

TEST_F(EngineRunTest, SeamFailuresNeitherHangNorPass) {
    FaultyLauncher& launcher = launcher_;
    // Without event or thread the builder runs on the worker's thread; a runner that fails ends its step.
    for (launcher.fault = 1; launcher.fault <= 2; ++launcher.fault) {
        Run({Project(1, L"Calc")}, {1}, ActionDebug);
        EXPECT_EQ(Summary(), Lines{L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run."}) << launcher.fault;
    }
    Run({Project(1, L"Calc")}, {1}, ActionDebug);
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()), (Lines{L"The run of " + msdev_ + L" failed: std::bad_alloc.",
                                        L"Summary: 1 target, 0 succeeded, 1 failed, 0 not run.",
                                        L"  Calc (Win32 Debug): the run of the IDE failed"}));
}

}  // namespace
}  // namespace kw
