// The controller and the worker: run settings, the refusal, the fixed order of steps, whole runs
// over packages of stand-in projects with their outcomes and summary, stopping and time-outs.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildController.h"
#include "engine/ProcessLauncher.h"
#include "engine/RunSetup.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

#include <algorithm>
#include <cwchar>
#include <sstream>
#include <stdexcept>

namespace kw {
namespace {

using kwtest::TestProject;
using Lines = std::vector<std::wstring>;

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
        return Lines(std::find_if(lines.begin(), lines.end(), first), lines.end());
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
    EXPECT_EQ(otherReceiver.Lines().back(), L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run.");
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
    EXPECT_EQ(receiver_.Lines(), (Lines{L"Summary: 0 targets, 0 succeeded, 0 failed, 0 not run."}));
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
    EXPECT_EQ(receiver_.Lines(),
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
    EXPECT_EQ(receiver_.Lines(), (Lines{L"The run of " + msdev_ + L" failed: std::bad_alloc.",
                                        L"Summary: 1 target, 0 succeeded, 1 failed, 0 not run.",
                                        L"  Calc (Win32 Debug): the run of the IDE failed"}));
}

}  // namespace
}  // namespace kw
