// The controller and the worker: the targets' order by their dependencies, the builders' command
// lines, the run set-up and its refusals, the stamping step, whole runs over packages of stand-in
// projects with their outcomes, summary and records, parallel builds, stopping and time-outs.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildCommands.h"
#include "engine/BuildController.h"
#include "engine/MakeRunRecord.h"
#include "engine/ProcessLauncher.h"
#include "engine/RunSetup.h"
#include "engine/StampVersions.h"
#include "engine/TargetOrder.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <map>
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
        EXPECT_TRUE(in != std::wstring::npos && line.substr(line.size() - 3) == L" s.") << ToUtf8(line);
        if (in != std::wstring::npos) line = line.substr(0, in) + L" not run.";
    }
    return lines;
}

// Every step of a record as "<step>: <verdict>", in record order.
Lines StepVerdicts(const RunRecord& record) {
    Lines steps;
    for (const TargetRecord& target : record.targets) {
        for (const StepRecord& step : target.steps) steps.push_back(StepDisplayName(target, step) + L": " + StepVerdictWords(step));
    }
    return steps;
}

// Projects P1, P2, ... with the Dependencies texts given.
DependencyGraph Graph(const Lines& needs) {
    std::vector<ProjectDependencies> projects;
    for (size_t i = 0; i < needs.size(); ++i) projects.push_back({int(i + 1), L"P" + std::to_wstring(i + 1), needs[i]});
    DependencyGraph graph;
    EXPECT_EQ(CheckDependencies(projects, graph), L"");
    return graph;
}

TEST(TargetOrder, ATargetFollowsWhatItNeedsTiesKeepTheGivenOrder) {
    const struct {
        Lines needs;
        std::vector<int> targets, ordered;
    } cases[] = {
        {{L"", L"", L"", L"", L""}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},  // none declared: today's order exactly
        {{L"3", L"", L"", L""}, {1, 2, 3, 4}, {2, 3, 1, 4}}, {{L"4", L"4", L"", L""}, {1, 2, 3, 4}, {3, 4, 1, 2}},
        {{L"2", L"3", L"4", L"5", L""}, {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}},
        {{L"2,3", L"", L"5", L"", L"", L""}, {1, 2, 3, 4, 5, 6}, {2, 4, 5, 3, 1, 6}},
        // Through a project that is not a target (1 needs 2, left out, which needs 3); a repeated
        // number runs once.
        {{L"2", L"3", L""}, {1, 3}, {3, 1}}, {{L"3", L"", L""}, {1, 3, 1}, {3, 1}},
    };
    for (const auto& c : cases) EXPECT_EQ(OrderByDependencies(c.targets, Graph(c.needs)), c.ordered);
}

TEST(TargetOrder, WithDependenciesAddsEveryProjectNeededAndMissingOnesAreNamedOncePerPair) {
    DependencyGraph graph = Graph({L"2", L"3,4", L"", L"", L"6", L""});
    EXPECT_EQ(WithDependencies({1}, graph), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(WithDependencies({5, 3}, graph), (std::vector<int>{3, 5, 6}));

    Lines texts;
    for (const MissingDependency& missing : MissingDependencies({2, 1, 2, 5}, graph))
        texts.push_back(MissingDependencyText(missing, graph));
    EXPECT_EQ(texts, (Lines{L"P2 needs P3, which is not a target; it is not built.",
                            L"P2 needs P4, which is not a target; it is not built.",
                            L"P5 needs P6, which is not a target; it is not built."}));
    EXPECT_TRUE(MissingDependencies({1, 2, 3, 4}, graph).empty());
}

// The builders' command lines, character for character.
TEST(BuildCommandLine, EachFormCharacterForCharacter) {
    // Folder, name, source folder, configuration, log.
    const BuildCommandInput calc{L"C:\\VS\\Common", L"Calc", L"C:\\Src\\Calc", L"Win32 Debug", L"C:\\TEMP\\1412.log"};
    const BuildCommandInput tool{L"C:\\VS\\Common", L"Tool", L"C:\\Src\\Tool", L"", L"C:\\TEMP\\1412.log"};
    const BuildCommandInput blanks{L"C:\\Program Files\\VS\\Common", L"My Calc", L"C:\\My Src\\Calc",
                                   L"Win32 \"Debug\" /CLEAN", L"C:\\Temp Files\\1412.log"};
    const std::wstring ide = L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp ";
    const std::wstring out = L" /OUT C:\\TEMP\\1412.log";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {ComposeVisualCppCommandLine(calc, ActionDebug, false), ide + L"/MAKE \"Calc - Win32 Debug\"" + out},
        {ComposeVisualCppCommandLine(calc, ActionDebug, true), ide + L"/MAKE \"Calc - Win32 Debug\" /REBUILD" + out},
        {ComposeVisualCppCommandLine(calc, ActionClean, true), ide + L"/CLEAN" + out},
        {ComposeVisualBasicCommandLine(tool),
         L"\"C:\\VS\\Common\\..\\vb98\\vb6.exe\" /out C:\\TEMP\\1412.log /m C:\\Src\\Tool\\Tool.vbp "
         L"/outdir C:\\Src\\Tool"},
        {ComposeVisualCppCommandLine(blanks, ActionDebug, true),
         L"\"C:\\Program Files\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" \"C:\\My Src\\Calc\\My Calc.dsp\" /MAKE "
         L"\"My Calc - Win32 \\\"Debug\\\" /CLEAN\" /REBUILD /OUT \"C:\\Temp Files\\1412.log\""},
        {LogFilePath(L"C:\\TEMP", -7), L"C:\\TEMP\\-7.log"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(line, expected);
}

// Hostile arguments come back whole, split by the system and by a child's C runtime alike.
TEST(QuoteArgument, RoundTripThroughCommandLineToArgvWAndAChild) {
    const std::vector<std::wstring> args = {
        L"plain", L"C:\\Program Files\\Calc", L"trailing backslash\\", L"two trailing\\\\", L"\"", L"\"\"", L"a\\\"b",
        L"a\\\\\"b", L"tab\there", L"name\" /CLEAN /OUT C:\\evil.log \"", L"\\\\server\\share folder\\", L"",
        L"caf\u00e9 \u00fcber",
    };
    std::wstring tail, echoed;
    for (const std::wstring& arg : args) {
        tail += QuoteArgument(arg) + L" ";
        echoed += arg + L"\n";
    }
    std::vector<std::wstring> split = kwtest::SplitCommandLine(L"program.exe " + tail);
    split.erase(split.begin());
    EXPECT_EQ(split, args);
    const std::wstring echo = QuoteArgument(kwtest::ProgramFolder() + L"\\tools\\argv-echo.exe");
    EXPECT_EQ(FromUtf8(kwtest::RunCaptured(echo + L" " + tail).out), echoed);
}

const char kScript[] = "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 1,0,3,4\r\n PRODUCTVERSION 1,0,3,4\r\n"
                       "            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n"
                       "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND\r\n";

// The stamping step as the worker runs it over a job's targets, as a package gave them: which
// files are stamped, what the event log says of each and the outcome each target gets are the
// step's; how a file is rewritten, and that a refused one keeps every byte, is the rewrite's own.
TEST(StampVersions, EveryTargetIsStampedOrSaysWhyAndFailsItsStep) {
    // Projects 1 to 7 of one folder, each with its resource file: Calc.rc, Tool.vbp, Gone.rc
    // (missing), Odd.rc (of a VC7 project), Other.vbp, Held.rc and Kept.rc.
    kwtest::ScratchDir dir(L"step");
    std::vector<kwtest::TestProject> projects;
    const wchar_t* kinds[][2] = {{L"Calc", L"VC6"}, {L"Tool", L"VB6"}, {L"Gone", L"VC6"}, {L"Odd", L"VC7"},
                                 {L"Other", L"VB6"}, {L"Held", L"VC6"}, {L"Kept", L"VC6"}};
    for (const auto& [name, kind] : kinds)
        projects.push_back({std::to_wstring(projects.size() + 1), name, kind, dir.Path()});
    kwtest::WritePackage(dir.File(L"suite.kwp"), projects);
    PackageDocument document;
    ASSERT_EQ(document.OpenPackage(dir.File(L"suite.kwp")), 0);
    const std::wstring rc = dir.File(L"Calc.rc"), tool = dir.File(L"Tool.vbp"), other = dir.File(L"Other.vbp");
    const std::wstring held = dir.File(L"Held.rc"), kept = dir.File(L"Kept.rc"), gone = dir.File(L"Gone.rc");
    const std::wstring odd = dir.File(L"Odd.rc");
    for (const std::wstring& script : {rc, odd, held, kept}) kwtest::WriteBytes(script, kScript);
    kwtest::WriteBytes(tool, "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nName=\"Tool\"\r\n");

    // The targets as the set-up snapshots them (a ProjectID the package lacks gives empty fields).
    kwtest::RunReceiver receiver;
    RunOutcome outcome;
    auto run = [&](const std::vector<int>& targets, ActionSet actions, VersionQuad version = {}) {
        RunJob job;
        job.actions = actions;
        job.version = version;
        for (int id : targets) {
            RunTarget target;
            target.projectId = id;
            document.GetProjectSettings(id, target.record);
            document.GetProjectResourceFile(id, target.resourceKind, target.resourceFile);
            job.targets.push_back(target);
        }
        outcome = RunOutcome{};
        receiver.Clear();
        EXPECT_EQ(StampVersions(job, RunContext{receiver.Window(), receiver.ListBox()}, outcome), 0);
        receiver.Pump();
        return receiver.Lines();
    };
    const std::wstring title = L"Versionating ", unchanged = L"; the file is unchanged.";

    ASSERT_TRUE(SetFileAttributesW(tool.c_str(), FILE_ATTRIBUTE_READONLY));
    kwtest::WriteBytes(other, "Type=Exe\n MajorVer=1\n");  // LF line ends: no version line is seen
    // The user's own file named like the temporary one stays as it is.
    kwtest::WriteBytes(kept + L".new", "mine");
    HANDLE lock = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Lines lines = run({3, 2, 4, 99, 5, 6, 7, 1}, ActionAutoIncrement);
    CloseHandle(lock);
    SetFileAttributesW(tool.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(lines, (Lines{title + gone + L" ...", L"Not stamped: " + gone + L" does not exist.",
                            title + tool + L" ...", L"Not stamped: " + tool + L" is read-only" + unchanged,
                            title + odd + L" ...",
                            L"Not stamped: " + odd + L" belongs to a project that is neither VC6 nor VB6" + unchanged,
                            title + L" ...",  // a project the package doesn't hold
                            L"Not stamped: the package names no resource file for this project.",
                            title + other + L" ...", L"No version line found in " + other + unchanged,
                            title + held + L" ...",
                            L"Not stamped: " + held + L" is in use by another program" + unchanged,
                            title + kept + L" ...",
                            L"Not stamped: " + kept + L".new already exists and is kept" + unchanged,
                            title + rc + L" ...", L" -> 1.0.4.4"}));
    EXPECT_EQ(kwtest::ReadBytes(kept + L".new"), "mine");
    EXPECT_EQ(kwtest::ListFolder(dir.Path()),
              L"Calc.rc Held.rc Kept.rc Kept.rc.new Odd.rc Other.vbp Tool.vbp suite.kwp");
    Lines summary = outcome.SummaryLines();
    EXPECT_EQ(Lines(summary.begin() + 1, summary.end()),
              (Lines{L"  Gone: version not stamped (file missing)", L"  Tool: version not stamped (read-only)",
                     L"  Odd: version not stamped (unknown project kind)",
                     L"  Project 99: version not stamped (no resource file named)",
                     L"  Other: version not stamped (no version line)", L"  Held: version not stamped (in use)",
                     L"  Kept: version not stamped (.new file exists)"}));
    EXPECT_EQ(outcome.ExitCode(), kExitFailed);

    // Set numbers are logged once per target, with a warning where a part is above 16 bits.
    const std::wstring above =
        L" now holds a version part above 65535; the resource compiler keeps only 16 bits of each part.";
    EXPECT_EQ(run({1, 2}, ActionSetVersion, VersionQuad{70000, 1, 0, 7}),
              (Lines{title + rc + L" -> 70000.1.0.7", L"Warning: " + rc + above, title + tool + L" -> 70000.1.0",
                     L"Warning: " + tool + above}));
    EXPECT_NE(kwtest::ReadBytes(rc).find(" FILEVERSION 70000,1,0,7\r\n PRODUCTVERSION 70000,1,0,7\r\n"),
              std::string::npos);
    EXPECT_NE(kwtest::ReadBytes(tool).find("MajorVer=70000\r\nMinorVer=1\r\nRevisionVer=0\r\n"), std::string::npos);
    EXPECT_TRUE(outcome.targets.at(0).warned && outcome.targets.at(1).warned);
    EXPECT_EQ(outcome.ExitCode(), kExitSucceeded);
    // The numbers the last stamped file holds come back with the outcome: a script's four, a
    // project file's three with the run's fourth.
    auto quad = [](const VersionQuad& v) { return FormatW(L"%u.%u.%u.%u", v.major, v.minor, v.build, v.revision); };
    run({2, 1}, ActionAutoIncrement);
    EXPECT_EQ(quad(outcome.lastStamped), L"70000.1.1.7");
    run({1, 2}, ActionAutoIncrement, VersionQuad{0, 0, 0, 9});
    EXPECT_EQ(quad(outcome.lastStamped), L"70000.1.2.7");  // the script before it read 7
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
    void SetUp() override {
        CreateDirectoryW(temporaryFolder_.c_str(), nullptr);
        environment_.temporaryFolder = temporaryFolder_;
        environment_.visualStudioFolder = kwtest::StandInVisualStudioFolder();
        choices_.numbers = VersionQuad{1, 2, 3, 4};
    }

    TestProject Project(int id, const std::wstring& name, const std::wstring& compiler = L"VC6",
                        const std::string& standIn = "") {
        return {std::to_wstring(id), name, compiler, dir_.File(L"Program Files (x86)\\" + name), L"Win32 Debug", L"Win32 Release",
                "journal=" + ToUtf8(journal_) + "\n" + standIn};
    }

    void Open(const std::vector<TestProject>& projects, PackageDocument& document, const wchar_t* file = L"test.kwp") {
        kwtest::WriteProjects(projects);
        kwtest::WritePackage(dir_.File(file), projects);
        ASSERT_EQ(document.OpenPackage(dir_.File(file)), 0);
    }

    // Writes everything, opens the package, sets the run up and starts it. StartRun's result.
    int Start(const std::vector<TestProject>& projects, std::vector<int> targets, int actions) {
        DeleteFileW(journal_.c_str());
        Open(projects, document_);
        receiver_.Clear();
        PreparedRun prepared = SetUpRun(document_, Choices(targets, actions), environment_);
        EXPECT_EQ(prepared.refusal, RunRefusal::None) << ToUtf8(prepared.message);
        controller_ = std::make_unique<BuildController>(&launcher_);
        return controller_->StartRun(std::move(prepared.job), receiver_.Window(), receiver_.ListBox());
    }

    // The actions as the panel's check boxes give them; the rest as choices_ holds it.
    RunChoices Choices(std::vector<int> targets, int actions) const {
        RunChoices choices = choices_;
        choices.targets = std::move(targets);
        choices.debug = actions & ActionDebug;
        choices.release = actions & ActionRelease;
        choices.rebuildAll = actions & ActionRebuildAll;
        choices.clean = actions & ActionClean;
        choices.version = actions & (ActionSetVersion | ActionAutoIncrement);
        choices.autoIncrement = actions & ActionAutoIncrement;
        return choices;
    }

    // Waits for the end of a started run; every log and side copy is gone then.
    void Finish() {
        ASSERT_TRUE(receiver_.PumpUntilFinished()) << "the run never ended";
        receiver_.Pump();
        EXPECT_EQ(receiver_.Finished(), 1);
        EXPECT_FALSE(receiver_.ForeignListBox());
        EXPECT_TRUE(controller_->WaitForEnd(10000));
        EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
    }

    void Run(const std::vector<TestProject>& projects, std::vector<int> targets, int actions) {
        ASSERT_EQ(Start(projects, targets, actions), 0);
        Finish();
    }

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
    RunEnvironment environment_;
    const std::wstring msdev_ = kwtest::StandInVisualStudioFolder() + L"\\MSDEV98\\Bin\\MSDEV";
    RunChoices choices_;
    FaultyLauncher launcher_;
    std::unique_ptr<BuildController> controller_;
};

TEST_F(EngineRunTest, SetUpOrdersTheTargetsAndRefusesWhatCanNotRun) {
    std::vector<TestProject> projects = {Project(2, L"Calc"), Project(1, L"Tool", L"VB6"), Project(2, L"Twin"),
                                         Project(3, L"Lib"), Project(0, L"Letters")};
    projects[4].id = L"abc";
    projects[0].dependencies = L"3";
    Open(projects, document_);
    PreparedRun prepared = SetUpRun(document_, Choices({2, 1, 2}, ActionDebug | ActionRebuildAll), environment_);
    ASSERT_EQ(prepared.refusal, RunRefusal::None);
    const RunJob& job = prepared.job;
    EXPECT_EQ(job.version.major, 0u) << "no version action, no numbers";
    ASSERT_EQ(job.targets.size(), 2u);
    EXPECT_EQ(job.targets[0].record.name + L" " + job.targets[1].record.name, L"Tool Calc");
    EXPECT_EQ(job.setupLines, (Lines{L"Project 'Twin' has no usable ProjectID (2, as an earlier project's); it is not run.",
                                     L"Calc needs Lib, which is not a target; it is not built."}));

    // What can't run is refused before anything is stamped or started (which dependencies are
    // refused, and in what words, is the package's rule).
    const std::wstring missing = dir_.File(L"missing");
    const struct {
        const wchar_t* calcNeeds;
        std::vector<int> targets;
        int actions;
        std::wstring temporaryFolder, message;
        RunRefusal refusal;
        int exitCode;
    } refusals[] = {
        {L"9", {1}, ActionSetVersion | ActionDebug, temporaryFolder_,
         L"Project 'Calc' depends on 9, which the package does not have.", RunRefusal::Dependencies, kExitUnusable},
        {L"", {9, 1}, ActionDebug, temporaryFolder_, L"Unknown target: 9", RunRefusal::UnknownTarget, kExitUsage},
        {L"", {1}, ActionRebuildAll | ActionClean, temporaryFolder_, L"No action was selected for execution.",
         RunRefusal::NothingToDo, kExitUsage},
        {L"", {1}, ActionDebug, missing, L"The folder for temporary files " + missing + L" can't be used: it does not exist.",
         RunRefusal::Unusable, kExitUnusable},
    };
    for (const auto& r : refusals) {
        projects[0].dependencies = r.calcNeeds;
        PackageDocument document;
        Open(projects, document, L"refused.kwp");
        RunEnvironment environment = environment_;
        environment.temporaryFolder = r.temporaryFolder;
        PreparedRun refused = SetUpRun(document, Choices(r.targets, r.actions), environment);
        EXPECT_EQ(refused.message, r.message);
        EXPECT_TRUE(refused.refusal == r.refusal && refused.ExitCode() == r.exitCode) << ToUtf8(r.message);
        EXPECT_TRUE(refused.job.targets.empty() && refused.job.setupLines.empty());
    }
}

// One run meets every way a target can end: every failure named in the log, the summary and the
// run's record, and each step with its times and its own lines. Another run meanwhile can't
// interfere with it.
TEST_F(EngineRunTest, AMixedRunGivesEveryTargetItsOutcome) {
    std::vector<TestProject> projects = {
        Project(1, L"Calc"), Project(2, L"Fails", L"VC6", "result=fail\n"), Project(3, L"Crashes", L"VC6", "result=crash\n"),
        Project(4, L"Active", L"VC6", "exitcode=259\nhang=700\n"), Project(5, L"Broken", L"VC6", "exitcode=3\n"),
        Project(6, L"My Calc"), Project(7, L"Uses"), Project(8, L"Slow", L"VC6", "hang=60000\n"), Project(9, L"Needs"),
        Project(10, L"Report Tool", L"VB6"), Project(11, L"Gone", L"VB6"), Project(12, L"Late", L"VB6"), Project(13, L"Spare")};
    projects[4].resource = "no version here\r\n";
    projects[5].debugConfig = L"Win32 \"Debug\" /CLEAN /OUT x";  // stays one argument: the builder knows no such one
    projects[6].dependencies = L"13";
    projects[8].dependencies = L"2";
    kwtest::WriteProjects(projects);
    projects[10].folder.clear();
    choices_.builderTimeoutSeconds = 2;
    ASSERT_EQ(Start(projects, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, ActionSetVersion | ActionDebug | ActionClean), 0);
    // Each run has its own copy of everything: a second start of the running controller is refused
    // and leaves its job alone; another controller stamps Spare meanwhile with the package closed
    // under both, and ends even with nobody left to tell.
    PreparedRun other = SetUpRun(document_, Choices({13}, ActionRelease | ActionClean), environment_);
    EXPECT_EQ(controller_->StartRun(std::move(other.job), receiver_.Window(), receiver_.ListBox()), kStartFailed);
    const HWND gone = kwtest::RunReceiver().Window();
    BuildController second;
    PreparedRun stamp = SetUpRun(document_, Choices({13}, ActionSetVersion), environment_);
    document_.ClosePackage();
    ASSERT_EQ(second.StartRun(std::move(stamp.job), gone, nullptr), 0);
    // The front end's watch: the worker has ended and said so to nobody.
    for (int i = 0; i < 400 && !second.EndedUnannounced(); ++i) Sleep(50);
    ASSERT_TRUE(second.EndedUnannounced() && second.WaitForEnd(0));
    EXPECT_EQ(second.Outcome().ExitCode(), kExitSucceeded);
    EXPECT_NE(kwtest::ReadBytes(projects[12].folder + L"\\Spare.rc").find("FILEVERSION 1,2,3,4"), std::string::npos);
    Finish();

    EXPECT_EQ(receiver_.Lines().front(), L"Uses needs Spare, which is not a target; it is not built.");
    EXPECT_FALSE(Shows(L"Versionating " + projects[12].folder + L"\\Spare.rc -> 1.2.3.4")) << "a line of the other run";
    // The run's own words for each way a builder ended, and a hostile configuration that reached
    // the builder as one argument.
    for (const std::wstring& line :
         Lines{msdev_ + L" crashed (exception 0xC0000005).", msdev_ + L" ended with exit code 259.",
               msdev_ + L" ended with exit code 3.", msdev_ + L" timed out after 2 s and was stopped.",
               L"Error: Project configuration \"My Calc - Win32 \"Debug\" /CLEAN /OUT x\" not found in " +
                   projects[5].folder + L"\\My Calc.dsp."}) {
        EXPECT_TRUE(Shows(line)) << ToUtf8(line);
    }
    EXPECT_EQ(Summary(), (Lines{L"Summary: 12 targets, 3 succeeded, 7 failed, 2 not run.",
                                L"  Fails (Win32 Debug): 1 error(s), 0 warning(s)",
                                L"  Crashes (Win32 Debug): crashed (exception 0xC0000005)",
                                L"  Active (Win32 Debug): exit code 259", L"  Broken: version not stamped (no version line)",
                                L"  My Calc (Win32 \"Debug\" /CLEAN /OUT x): exit code 1", L"  Slow (Win32 Debug): timed out",
                                L"  Needs (Win32 Debug): not run: it needs Fails, which failed",
                                L"  Gone: version not stamped (file missing)",
                                L"  Late: not built: the Visual Basic builds ended early"}));
    EXPECT_EQ(controller_->Outcome().ExitCode(), kExitFailed);
    // No builder for a target whose dependency failed, nor after the Visual Basic builds ended.
    const Lines calls = Invocations();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"vb6 Report Tool.vbp"), 1);
    for (const wchar_t* never : {L"MSDEV Needs - Win32 Debug", L"vb6 Late.vbp", L"MSDEV Spare.dsp /CLEAN"}) {
        EXPECT_EQ(std::count(calls.begin(), calls.end(), never), 0) << ToUtf8(never);
    }

    const RunRecord record = MakeRunRecord(controller_->Job(), controller_->Outcome());
    EXPECT_EQ(WithoutWallTime(record.summary), Summary());
    EXPECT_EQ(record.packageName + L"|" + record.packagePath + L"|" + record.actions,
              L"Test|" + dir_.File(L"test.kwp") + L"|Debug, clean, set version 1.2.3.4");
    // The record names every planned step: version, build and clean of each Visual C++ target,
    // version and build of each Visual Basic one. These did not succeed:
    const Lines steps = StepVerdicts(record);
    EXPECT_EQ(steps.size(), 33u);
    Lines failed;
    std::copy_if(steps.begin(), steps.end(), std::back_inserter(failed),
                 [](const std::wstring& step) { return step.find(L": succeeded") == std::wstring::npos; });
    ASSERT_EQ(failed.size(), 11u);
    EXPECT_EQ(failed, (Lines{L"Fails (Win32 Debug): failed: 1 error(s), 0 warning(s)",
                             L"Crashes (Win32 Debug): failed: crashed (exception 0xC0000005)",
                             L"Active (Win32 Debug): failed: exit code 259",
                             L"Broken (version): failed: version not stamped (no version line)",
                             L"Broken (Win32 Debug): failed: exit code 3",
                             L"My Calc (Win32 \"Debug\" /CLEAN /OUT x): failed: exit code 1",
                             L"Slow (Win32 Debug): timed out: after 2 s",
                             L"Needs (Win32 Debug): not run: it needs Fails, which failed",
                             L"Gone (version): failed: version not stamped (file missing)",
                             L"Gone (Visual Basic): failed: no name or source folder",
                             L"Late (Visual Basic): not run: not built: the Visual Basic builds ended early"}));
    for (const TargetRecord& target : record.targets) {
        for (const StepRecord& step : target.steps) {
            SCOPED_TRACE(ToUtf8(StepDisplayName(target, step)));
            EXPECT_EQ(step.Began(), step.verdict != StepRecord::NotRun);
            EXPECT_LE(step.endMs, record.durationMs);
            EXPECT_EQ(step.lines.empty(), !step.Began());
        }
    }
    // Each step's lines are its own: the builder's log, the run's lines about that target.
    EXPECT_EQ(record.targets[0].steps[1].lines.back(), L"Calc.exe - 0 error(s), 0 warning(s)");
    EXPECT_EQ(record.targets[0].steps[1].errors, 0);
    EXPECT_EQ(record.targets[0].stampedVersion + L" " + record.targets[9].stampedVersion, L"1.2.3.4 1.2.3");
    EXPECT_EQ(record.targets[9].steps[1].lines,
              (Lines{L"Building Report Tool ...", L"Build of '" + projects[9].folder + L"\\Report Tool.exe' succeeded."}));
    EXPECT_EQ(record.targets[10].steps[1].lines, Lines{L"Gone has no name or source folder; the Visual Basic builds end here."});
    EXPECT_EQ(record.targets[4].steps[0].lines.back().rfind(L"No version line found", 0), 0u);
}

// The steps' fixed order, each following the dependencies; Rebuild All only reaches the IDE;
// version and clean alone run no build; --with-dependencies adds what the targets need; a run
// without targets still ends.
TEST_F(EngineRunTest, StepsRunInTheirFixedOrder) {
    std::vector<TestProject> projects = {Project(1, L"Tool", L"VB6"), Project(2, L"Calc"), Project(3, L"Lib")};
    projects[1].dependencies = L"3";
    Run(projects, {2, 1, 3}, ActionClean | ActionRelease | ActionDebug | ActionRebuildAll);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Lib - Win32 Debug /REBUILD", L"MSDEV Calc - Win32 Debug /REBUILD",
                                    L"MSDEV Lib - Win32 Release /REBUILD", L"MSDEV Calc - Win32 Release /REBUILD",
                                    L"vb6 Tool.vbp", L"MSDEV Lib.dsp /CLEAN", L"MSDEV Calc.dsp /CLEAN"}));
    choices_.withDependencies = true;  // adds Lib
    Run(projects, {2, 1}, ActionRebuildAll | ActionClean | ActionAutoIncrement);
    EXPECT_EQ(Invocations(), (Lines{L"MSDEV Lib.dsp /CLEAN", L"MSDEV Calc.dsp /CLEAN"}));
    EXPECT_EQ(Summary(), Lines{L"Summary: 3 targets, 3 succeeded, 0 failed, 0 not run."});
    Run(projects, {}, ActionDebug | ActionRelease | ActionClean);
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()), (Lines{L"Summary: 0 targets, 0 succeeded, 0 failed, 0 not run."}));
}

TEST_F(EngineRunTest, ParallelBuildsOverlapUpToTheLimitAndEveryTaggedLineIsWhole) {
    choices_.parallelBuilds = 3;
    choices_.builderTimeoutSeconds = 3;
    std::vector<TestProject> projects;
    for (int id = 1; id <= 5; ++id)
        projects.push_back(Project(id, L"P" + std::to_wstring(id), L"VC6",
                                   "duration=900\ntimes=times.txt\nmirror=mirror.log\nflood=30000\nfloodms=600\n"));
    projects[1].dependencies = L"1";
    // A builder that times out ends alone; the others go on meanwhile.
    projects.push_back(Project(6, L"Slow", L"VC6", "hang=60000\n"));
    Run(projects, {1, 2, 3, 4, 5, 6}, ActionDebug);
    EXPECT_TRUE(Shows(L"6>" + msdev_ + L" timed out after 3 s and was stopped."));
    const Lines summary = Summary();
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_EQ(summary[0] + summary[1], L"Summary: 6 targets, 5 succeeded, 1 failed, 0 not run.  Slow (Win32 Debug): timed out");
    EXPECT_EQ(summary[2].rfind(L"Builds ran up to 3 at a time; one after another they would have taken ", 0), 0u);

    // Every line before the summary names its target.
    std::map<std::wstring, Lines> byTarget;
    for (const std::wstring& line : receiver_.Lines()) {
        if (line.rfind(L"Summary: ", 0) == 0) break;
        size_t tag = line.find(L'>');
        ASSERT_TRUE(tag != std::wstring::npos && tag > 0 && std::all_of(line.begin(), line.begin() + tag, iswdigit))
            << ToUtf8(line);
        byTarget[line.substr(0, tag)].push_back(line.substr(tag + 1));
    }
    // The builders' own account (performance counter, microseconds): never more than three at once,
    // at least two, and P2 after P1; each target's lines are its log, whole and in order.
    std::vector<std::pair<long long, int>> events;
    std::vector<std::pair<long long, long long>> spans(5);
    for (size_t i = 0; i < 5; ++i) {
        std::istringstream times(kwtest::ReadBytes(projects[i].folder + L"\\times.txt"));
        std::string what, name;
        for (long long at = 0; times >> what >> name >> at;) (what == "start" ? spans[i].first : spans[i].second) = at;
        events.insert(events.end(), {{spans[i].first, +1}, {spans[i].second, -1}});
        Lines mirrored;
        std::istringstream log(kwtest::ReadBytes(projects[i].folder + L"\\mirror.log"));
        for (std::string line; std::getline(log, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) mirrored.push_back(FromUtf8(line));
        }
        EXPECT_TRUE(byTarget[projects[i].id] == mirrored) << i;
    }
    std::sort(events.begin(), events.end());  // an end before a start at the same moment
    int running = 0, most = 0;
    for (const auto& event : events) most = std::max(most, running += event.second);
    EXPECT_TRUE(most >= 2 && most <= 3) << most;
    EXPECT_GE(spans[1].first, spans[0].second);
}

// A stop ends every running builder with its whole process tree and starts no other; the record
// names every planned step: those the stop cut short, those it never reached.
TEST_F(EngineRunTest, StopEndsTheBuildersTreesAndTheRun) {
    for (size_t parallel : {1, 2}) {
        SCOPED_TRACE(parallel);
        choices_.parallelBuilds = static_cast<int>(parallel);
        std::vector<TestProject> projects;
        for (int id = 1; id <= 3; ++id)
            projects.push_back(Project(id, L"Hangs" + std::to_wstring(id), L"VC6", "hang=120000\nspawn=child.pid\n"));
        ASSERT_EQ(Start(projects, {1, 2, 3}, ActionDebug | ActionRelease), 0);
        // Stop once the builders are well under way (a parallel run's lines carry their target's tag)
        // and have each started a child of their own, which the stop must end too.
        const std::wstring underWay = (parallel > 1 ? L"1>" : L"") + std::wstring(L"Helpers.cpp");
        auto pid = [&](size_t i) { return FromUtf8(kwtest::ReadBytes(projects[i].folder + L"\\child.pid")); };
        auto stopNow = [&] {
            for (size_t i = 0; i < parallel; ++i)
                if (pid(i).empty()) return false;
            return Shows(underWay);
        };
        for (int i = 0; i < 400 && receiver_.Finished() == 0 && !stopNow(); ++i) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            receiver_.Pump();
        }
        controller_->StopRun();
        controller_->StopRun();  // twice changes nothing
        Finish();
        for (size_t i = 0; i < parallel; ++i) {
            HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(pid(i).c_str(), nullptr, 10));
            EXPECT_TRUE(!child || WaitForSingleObject(child, 5000) == WAIT_OBJECT_0) << "a builder's child outlived the stop";
            if (child) CloseHandle(child);
        }
        // No builder after the stop (two builders appending to the journal at once may lose a line).
        EXPECT_LE(Invocations().size(), parallel);
        Lines summary = Summary();
        summary.resize(4);  // without a parallel run's line on its builders' overlap
        EXPECT_EQ(summary, (Lines{L"Summary: 3 targets, 0 succeeded, 0 failed, 3 not run.", L"  Hangs1 (Win32 Debug): stopped",
                                  parallel > 1 ? L"  Hangs2 (Win32 Debug): stopped" : L"  Hangs2: not run",
                                  L"  Hangs3: not run"}));
        EXPECT_TRUE(Shows(L"Run stopped."));
        EXPECT_EQ(controller_->Outcome().ExitCode(), kExitStopped);
        const RunRecord record = MakeRunRecord(controller_->Job(), controller_->Outcome());
        EXPECT_TRUE(record.stopped);
        const Lines steps = StepVerdicts(record);
        ASSERT_EQ(steps.size(), 6u);
        EXPECT_EQ(steps[0] + L"|" + steps[1], L"Hangs1 (Win32 Debug): stopped|Hangs1 (Win32 Release): not run: the run was stopped");
        EXPECT_EQ(steps[5], L"Hangs3 (Win32 Release): not run: the run was stopped");
        const Lines& cut = record.targets[0].steps[0].lines;
        EXPECT_NE(std::find(cut.begin(), cut.end(), underWay), cut.end());
        controller_->StopRun();  // no run: nothing happens
    }
}

TEST_F(EngineRunTest, BuildersThatCanNotStartOrRunSayWhy) {
    // A flooded log is delivered whole, also when without event or thread the builder runs on the
    // worker's thread; a runner that fails ends its step.
    const TestProject big = Project(1, L"Big", L"VC6", "flood=3000000\nmirror=mirror.log\n");
    for (launcher_.fault = 0; launcher_.fault <= 2; ++launcher_.fault) {
        Run({big}, {1}, ActionDebug);
        EXPECT_TRUE(receiver_.NarrowBytes() == kwtest::ReadBytes(big.folder + L"\\mirror.log")) << launcher_.fault;
        EXPECT_EQ(Summary(), Lines{L"Summary: 1 target, 1 succeeded, 0 failed, 0 not run."}) << launcher_.fault;
    }
    Run({Project(1, L"Calc")}, {1}, ActionDebug);
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()), (Lines{L"The run of " + msdev_ + L" failed: std::bad_alloc.",
                                                        L"Summary: 1 target, 0 succeeded, 1 failed, 0 not run.",
                                                        L"  Calc (Win32 Debug): the run of the IDE failed"}));
    launcher_.fault = 0;
    TestProject wordy = Project(1, L"Wordy");
    wordy.debugConfig = std::wstring(40000, L'c');  // too long a command line: refused, not cut
    Run({wordy}, {1}, ActionDebug);
    EXPECT_EQ(receiver_.Lines()[0].rfind(L"Could not start " + msdev_ + L": its command line is 40", 0), 0u);
    environment_.visualStudioFolder = L"<not installed>";
    Run({Project(1, L"Calc"), Project(2, L"Tool", L"VB6")}, {1, 2}, ActionDebug);
    EXPECT_EQ(WithoutWallTime(receiver_.Lines()),
              (Lines{L"Could not start <not installed>\\MSDEV98\\Bin\\MSDEV: File not found (error 2).",
                     L"Building Tool ...", L"Could not start <not installed>\\..\\vb98\\vb6.exe: File not found (error 2).",
                     L"Summary: 2 targets, 0 succeeded, 2 failed, 0 not run.",
                     L"  Calc (Win32 Debug): could not start the IDE", L"  Tool: could not start the compiler"}));
    EXPECT_EQ(controller_->Outcome().ExitCode(), kExitNotStarted);
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

}  // namespace
}  // namespace kw
