// The controller and the worker: run settings, the refusal, the fixed order of steps, and whole
// runs over packages of stand-in projects.
#include <gtest/gtest.h>

#include "engine/BuildController.h"
#include "engine/BuildSteps.h"
#include "common/RunSupport.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

#include <algorithm>
#include <cwchar>

namespace kw {
namespace {

using kwtest::RunReceiver;
using kwtest::ScratchDir;
using kwtest::TestProject;

TEST(BuildController, ConstructorResetsFolderAndVersionButNotActions) {
    PackageDocument document;
    {
        BuildController first(document, L"C:\\TEMP");
        first.SetBuildActions(true, false, true, false);
        first.SetVersionAction(true, false, 1, 2, 3, 4);
        wcscpy_s(TheRunSettings().VisualStudioFolder, L"C:\\VS");
    }
    BuildController second(document, L"D:\\TMP");
    const RunSettings& settings = TheRunSettings();
    EXPECT_EQ(settings.document, &document);
    EXPECT_STREQ(settings.temporaryFolder, L"D:\\TMP");
    EXPECT_STREQ(settings.VisualStudioFolder, L"<not installed>");
    EXPECT_EQ(settings.version.major, 0u);
    EXPECT_EQ(settings.version.revision, 0u);
    EXPECT_EQ(settings.actions, ActionDebug | ActionRebuildAll | ActionSetVersion);
}

TEST(BuildController, BuildActionsReplaceTheWholeSet) {
    PackageDocument document;
    BuildController controller(document, L"C:\\TEMP");
    controller.SetBuildActions(true, true, true, true);
    controller.SetVersionAction(true, true, 0, 0, 0, 0);
    EXPECT_EQ(TheRunSettings().actions, ActionDebug | ActionRelease | ActionRebuildAll | ActionClean |
                                            ActionAutoIncrement);
    controller.SetBuildActions(false, true, false, false);
    EXPECT_EQ(TheRunSettings().actions, ActionRelease);
}

TEST(BuildController, DisabledVersionActionChangesNothing) {
    PackageDocument document;
    BuildController controller(document, L"C:\\TEMP");
    controller.SetBuildActions(true, false, false, false);
    controller.SetVersionAction(false, true, 7, 8, 9, 10);
    EXPECT_EQ(TheRunSettings().actions, ActionDebug);
    EXPECT_EQ(controller.CurrentVersion().major, 0u);

    controller.SetVersionAction(true, false, 4294967295u, 2, 3, 4);
    EXPECT_EQ(TheRunSettings().actions, ActionDebug | ActionSetVersion);
    EXPECT_EQ(controller.CurrentVersion().major, 4294967295u);
    EXPECT_EQ(controller.CurrentVersion().build, 3u);
}

TEST(BuildController, RefusesARunWithNothingToDo) {
    PackageDocument document;
    RunReceiver collector;
    EventLogRef eventLog{collector.ListBox()};
    const int targets[] = {1, 0};
    for (int mask = 0; mask < 4; ++mask) {
        BuildController controller(document, L"C:\\TEMP");
        controller.SetBuildActions(false, false, (mask & 1) != 0, (mask & 2) != 0);
        controller.SetVersionAction(false, false, 1, 1, 1, 1);
        EXPECT_EQ(controller.StartRun(targets, collector.Window(), &eventLog), kStartRefused) << mask;
    }
    collector.Pump();
    EXPECT_EQ(collector.Finished(), 0);
    EXPECT_TRUE(collector.Pieces().empty());
}

TEST(BuildController, ReadsTheVisualStudioFolderFromTheRegistry) {
    // The test prefix points VsCommonDir at the stand-ins; without it the folder stays as it was.
    wchar_t expected[256] = {};
    DWORD bytes = sizeof(expected) - sizeof(wchar_t);
    LSTATUS found = RegGetValueW(HKEY_LOCAL_MACHINE, kVisualStudioSetupKey, kVisualStudioFolderValue, RRF_RT_ANY,
                                 nullptr, expected, &bytes);
    PackageDocument document;
    BuildController controller(document, L"C:\\TEMP");
    EXPECT_TRUE(controller.ReadVisualStudioLocation());
    if (found != ERROR_SUCCESS) {
        EXPECT_STREQ(TheRunSettings().VisualStudioFolder, L"<not installed>");
    } else {
        EXPECT_STREQ(TheRunSettings().VisualStudioFolder, expected);
    }
}

// A package of stand-in projects in a scratch folder, run the way the main window starts a run.
class EngineRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        temporaryFolder_ = dir_.File(L"temp");
        CreateDirectoryW(temporaryFolder_.c_str(), nullptr);
        journal_ = dir_.File(L"journal.txt");
    }

    TestProject Project(int id, const std::wstring& name, const std::wstring& compiler = L"VC6") {
        TestProject project;
        project.id = std::to_wstring(id);
        project.name = name;
        project.compiler = compiler;
        project.folder = dir_.File(L"src\\" + name);
        project.standIn = "journal=" + ToUtf8(journal_) + "\n";
        return project;
    }

    // Writes everything, opens the package and runs it to its end. Returns StartRun's result.
    int Run(const std::vector<TestProject>& projects, std::vector<int> targets, bool debug, bool release,
            bool rebuildAll = false, bool clean = false, bool version = false,
            const wchar_t* visualStudioFolder = nullptr) {
        kwtest::WriteProjects(projects);
        std::wstring package = dir_.File(L"test.kwp");
        kwtest::WritePackage(package, projects);
        EXPECT_EQ(document_.OpenPackage(package), 0);
        targets.push_back(0);
        targets_ = targets;

        BuildController controller(document_, temporaryFolder_.c_str());
        std::wstring folder = visualStudioFolder ? visualStudioFolder : kwtest::StandInVisualStudioFolder();
        wcscpy_s(TheRunSettings().VisualStudioFolder, folder.c_str());
        controller.SetBuildActions(debug, release, rebuildAll, clean);
        controller.SetVersionAction(version, false, 1, 2, 3, 4);
        EventLogRef* eventLog = &eventLog_;
        eventLog_.listBox = collector_.ListBox();
        int result = controller.StartRun(targets_.data(), collector_.Window(), eventLog);
        if (result == 0) {
            EXPECT_TRUE(collector_.PumpUntilFinished()) << "the run never ended";
            collector_.Pump();
            EXPECT_EQ(collector_.Finished(), 1);
        }
        return result;
    }

    // What each builder was asked to do, in order: "MSDEV <configuration or /CLEAN>" or
    // "vb6 <project file>".
    std::vector<std::wstring> Invocations() const {
        std::vector<std::wstring> calls;
        for (const std::wstring& line : kwtest::ReadLines(journal_)) {
            std::vector<std::wstring> args = kwtest::SplitCommandLine(line);
            if (args.size() < 2) continue;
            if (args[0].size() >= 5 && args[0].substr(args[0].size() - 5) == L"MSDEV") {
                calls.push_back(args[2] == L"/CLEAN" ? L"MSDEV " + args[1].substr(args[1].rfind(L'\\') + 1) + L" /CLEAN"
                                                     : L"MSDEV " + args[3]);
            } else {
                calls.push_back(L"vb6 " + args[4].substr(args[4].rfind(L'\\') + 1));
            }
        }
        return calls;
    }

    ScratchDir dir_{L"engine"};
    std::wstring temporaryFolder_;
    std::wstring journal_;
    PackageDocument document_;
    RunReceiver collector_;
    EventLogRef eventLog_;
    std::vector<int> targets_;
};

using Calls = std::vector<std::wstring>;

TEST_F(EngineRunTest, DebugThenReleaseThenBasicOnce) {
    std::vector<TestProject> projects = {Project(1, L"Tool", L"VB6"), Project(2, L"Calc"), Project(3, L"MathLib")};
    ASSERT_EQ(Run(projects, {1, 2, 3}, true, true), 0);
    EXPECT_EQ(Invocations(), (Calls{L"MSDEV Calc - Win32 Debug", L"MSDEV MathLib - Win32 Debug",
                                    L"MSDEV Calc - Win32 Release", L"MSDEV MathLib - Win32 Release",
                                    L"vb6 Tool.vbp"}));
    EXPECT_EQ(collector_.WideLines(), (std::vector<std::wstring>{L"Building Tool ..."}));
    EXPECT_TRUE(kwtest::FileExists(projects[1].folder + L"\\Debug\\Calc.exe"));
    EXPECT_TRUE(kwtest::FileExists(projects[2].folder + L"\\Release\\MathLib.exe"));
    EXPECT_TRUE(kwtest::FileExists(projects[0].folder + L"\\Tool.exe"));
    EXPECT_FALSE(collector_.ForeignListBox());
    // Every log and side copy is gone.
    EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
}

TEST_F(EngineRunTest, LogLinesArriveInOrderBetweenTheStepsOwnLines) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Tool", L"VB6")};
    ASSERT_EQ(Run(projects, {1, 2}, false, true), 0);
    std::vector<std::wstring> lines = collector_.Lines();
    std::wstring toolExe = projects[1].folder + L"\\Tool.exe";
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         L"--------------------Configuration: Calc - Win32 Release--------------------",
                         L"Compiling resources...", L"Compiling...", L"Calc.cpp", L"Helpers.cpp", L"Linking...",
                         L"Calc.exe - 0 error(s), 0 warning(s)", L"Building Tool ...",
                         L"Build of '" + toolExe + L"' succeeded."}));
}

TEST_F(EngineRunTest, CleanComesLastAndRebuildOnlyTouchesVisualCpp) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Tool", L"VB6")};
    ASSERT_EQ(Run(projects, {1, 2}, false, true, true, true), 0);
    EXPECT_EQ(Invocations(), (Calls{L"MSDEV Calc - Win32 Release", L"vb6 Tool.vbp", L"MSDEV Calc.dsp /CLEAN"}));
    std::vector<std::wstring> first = kwtest::SplitCommandLine(kwtest::ReadLines(journal_)[0]);
    ASSERT_EQ(first.size(), 7u);
    EXPECT_EQ(first[4], L"/REBUILD");
    EXPECT_EQ(kwtest::SplitCommandLine(kwtest::ReadLines(journal_)[1]).size(), 7u);
    // The clean deleted what the build made.
    EXPECT_FALSE(kwtest::FileExists(projects[0].folder + L"\\Release\\Calc.exe"));
}

TEST_F(EngineRunTest, VersionActionAndCleanRunNoBuild) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Tool", L"VB6")};
    ASSERT_EQ(Run(projects, {1, 2}, false, false, true, true, true), 0);
    EXPECT_EQ(Invocations(), (Calls{L"MSDEV Calc.dsp /CLEAN"}));
    for (const std::wstring& line : collector_.WideLines()) EXPECT_NE(line, L"Building Tool ...");
}

TEST_F(EngineRunTest, EmptyTargetListStillFinishes) {
    ASSERT_EQ(Run({Project(1, L"Calc")}, {}, true, true, false, true), 0);
    EXPECT_TRUE(Invocations().empty());
    EXPECT_TRUE(collector_.Pieces().empty());
}

TEST_F(EngineRunTest, BasicStepStopsAtAProjectWithoutFolder) {
    std::vector<TestProject> projects = {Project(1, L"One", L"VB6"), Project(2, L"Two", L"VB6"),
                                         Project(3, L"Three", L"VB6")};
    kwtest::WriteProjects(projects);
    projects[1].folder.clear();
    ASSERT_EQ(Run(projects, {1, 2, 3}, true, false), 0);
    EXPECT_EQ(Invocations(), (Calls{L"vb6 One.vbp"}));
    EXPECT_EQ(collector_.WideLines(), (std::vector<std::wstring>{L"Building One ..."}));
}

TEST_F(EngineRunTest, UnknownTargetsAreSkippedByVisualCppAndEndTheBasicStep) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Tool", L"VB6")};
    ASSERT_EQ(Run(projects, {1, 5, 2}, true, false), 0);
    EXPECT_EQ(Invocations(), (Calls{L"MSDEV Calc - Win32 Debug"}));
}

TEST_F(EngineRunTest, NotInstalledShowsOnlyTheBasicLines) {
    std::vector<TestProject> projects = {Project(1, L"Calc"), Project(2, L"Tool", L"VB6"), Project(3, L"Other", L"VB6")};
    ASSERT_EQ(Run(projects, {1, 2, 3}, true, false, false, false, false, L"<not installed>"), 0);
    EXPECT_TRUE(Invocations().empty());
    EXPECT_EQ(collector_.Lines(), (std::vector<std::wstring>{L"Building Tool ...", L"Building Other ..."}));
}

TEST_F(EngineRunTest, FailingCrashingAndHangingBuildersDoNotStopTheRun) {
    std::vector<TestProject> projects = {Project(1, L"Fails"), Project(2, L"Crashes"), Project(3, L"Hangs"),
                                         Project(4, L"Exit259"), Project(5, L"Fine")};
    projects[0].standIn += "result=fail\n";
    projects[1].standIn += "result=crash\n";
    projects[2].standIn += "hang=700\n";
    projects[3].standIn += "exitcode=259\n";
    ASSERT_EQ(Run(projects, {1, 2, 3, 4, 5}, true, false), 0);
    EXPECT_EQ(Invocations().size(), 5u);
    std::vector<std::wstring> lines = collector_.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Fails.exe - 1 error(s), 0 warning(s)"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), L"Crashes.exe - 0 error(s), 0 warning(s)"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Hangs.exe - 0 error(s), 0 warning(s)"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"Exit259.exe - 0 error(s), 0 warning(s)"), lines.end());
    EXPECT_EQ(lines.back(), L"Fine.exe - 0 error(s), 0 warning(s)");
    EXPECT_EQ(kwtest::ListFolder(temporaryFolder_), L"");
}

TEST_F(EngineRunTest, FloodedLogIsDeliveredWhole) {
    std::vector<TestProject> projects = {Project(1, L"Big")};
    projects[0].standIn += "flood=3000000\nmirror=mirror.log\n";
    ASSERT_EQ(Run(projects, {1}, true, false), 0);
    std::string written = kwtest::ReadBytes(projects[0].folder + L"\\mirror.log");
    EXPECT_EQ(collector_.NarrowBytes().size(), written.size());
    EXPECT_TRUE(collector_.NarrowBytes() == written);
}

TEST_F(EngineRunTest, FoldersWithBlanksAndQuotesReachTheBuilderWhole) {
    TestProject calc = Project(1, L"My Calc");
    calc.folder = dir_.File(L"src\\Program Files (x86)\\My Calc");
    calc.debugConfig = L"Win32 \"Debug\" /CLEAN /OUT x";
    TestProject tool = Project(2, L"Report Tool", L"VB6");
    tool.folder = dir_.File(L"src\\My Reports");
    std::wstring temp = dir_.File(L"temp with blanks");
    CreateDirectoryW(temp.c_str(), nullptr);
    temporaryFolder_ = temp;

    ASSERT_EQ(Run({calc, tool}, {1, 2}, false, true), 0);
    std::vector<std::wstring> lines = collector_.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"My Calc.exe - 0 error(s), 0 warning(s)"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        L"Build of '" + tool.folder + L"\\Report Tool.exe' succeeded."),
              lines.end());
    EXPECT_TRUE(kwtest::FileExists(calc.folder + L"\\Release\\My Calc.exe"));

    // The hostile Debug configuration stays one argument: the builder reports it unknown.
    collector_.Clear();
    ASSERT_EQ(Run({calc, tool}, {1}, true, false), 0);
    std::vector<std::wstring> journal = kwtest::ReadLines(journal_);
    std::vector<std::wstring> args = kwtest::SplitCommandLine(journal.back());
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[3], L"My Calc - Win32 \"Debug\" /CLEAN /OUT x");
    EXPECT_EQ(collector_.Lines().back(), L"Error: Project configuration \"My Calc - Win32 \"Debug\" /CLEAN /OUT x\" "
                                         L"not found in " + calc.folder + L"\\My Calc.dsp.");
    EXPECT_EQ(kwtest::ListFolder(temp), L"");
}

}  // namespace
}  // namespace kw
