// The stamping step as the worker runs it: a job's targets, as a package gave them, the lines that
// reach the event log and the outcome each target gets.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/StampVersions.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

namespace kw {
namespace {

using kwtest::ReadBytes;
using kwtest::WriteBytes;
using Lines = std::vector<std::wstring>;

const char kScript[] = "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 1,0,3,4\r\n PRODUCTVERSION 1,0,3,4\r\n"
                       "            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n"
                       "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND\r\n";

// Projects 1 to 7 of one folder, each with its resource file: Calc.rc, Tool.vbp, Gone.rc (missing),
// Odd.rc (of a VC7 project), Other.vbp, Held.rc and Kept.rc.
class StampVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<kwtest::TestProject> projects;
        const wchar_t* kinds[][2] = {{L"Calc", L"VC6"}, {L"Tool", L"VB6"}, {L"Gone", L"VC6"}, {L"Odd", L"VC7"},
                                     {L"Other", L"VB6"}, {L"Held", L"VC6"}, {L"Kept", L"VC6"}};
        for (const auto& [name, kind] : kinds) {
            projects.push_back({std::to_wstring(projects.size() + 1), name, kind, dir_.Path()});
        }
        kwtest::WritePackage(dir_.File(L"suite.kwp"), projects);
        ASSERT_EQ(document_.OpenPackage(dir_.File(L"suite.kwp")), 0);
        for (const wchar_t* script : {L"Calc.rc", L"Odd.rc", L"Held.rc", L"Kept.rc"}) {
            WriteBytes(dir_.File(script), kScript);
        }
        WriteBytes(vbp_, "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nName=\"Tool\"\r\n");
    }

    // The targets as the set-up snapshots them (a ProjectID the package lacks gives empty fields).
    Lines Run(const std::vector<int>& targets, ActionSet actions, VersionQuad version = {}) {
        RunJob job;
        job.actions = actions;
        job.version = version;
        for (int id : targets) {
            RunTarget target;
            target.projectId = id;
            document_.GetProjectSettings(id, target.record);
            document_.GetProjectResourceFile(id, target.resourceKind, target.resourceFile);
            job.targets.push_back(target);
        }
        outcome_ = RunOutcome{};
        receiver_.Clear();
        RunContext run;
        run.window = receiver_.Window();
        run.listBox = receiver_.ListBox();
        EXPECT_EQ(StampVersions(job, run, outcome_), 0);
        receiver_.Pump();
        EXPECT_FALSE(receiver_.ForeignListBox());
        return receiver_.Lines();
    }

    const std::wstring title_ = L"Versionating ";
    kwtest::ScratchDir dir_{L"step"};
    const std::wstring rc_ = dir_.File(L"Calc.rc"), vbp_ = dir_.File(L"Tool.vbp");
    PackageDocument document_;
    kwtest::RunReceiver receiver_;
    RunOutcome outcome_;
};

// Which files are stamped and what the event log says of each is the step's; how a file is
// rewritten, and that a refused one keeps every byte, is the rewrite's own (its tests).
TEST_F(StampVersionsTest, SetLogsTheNumbersOncePerTargetAndWarnsAbove16Bits) {
    const std::wstring above = L" now holds a version part above 65535; the resource compiler keeps only 16 bits of each part.";
    EXPECT_EQ(Run({1, 2}, ActionSetVersion, VersionQuad{70000, 1, 0, 7}),
              (Lines{title_ + rc_ + L" -> 70000.1.0.7", L"Warning: " + rc_ + above, title_ + vbp_ + L" -> 70000.1.0",
                     L"Warning: " + vbp_ + above}));
    EXPECT_NE(ReadBytes(rc_).find(" FILEVERSION 70000,1,0,7\r\n PRODUCTVERSION 70000,1,0,7\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(vbp_).find("MajorVer=70000\r\nMinorVer=1\r\nRevisionVer=0\r\n"), std::string::npos);
    EXPECT_TRUE(outcome_.targets.at(0).warned && outcome_.targets.at(1).warned);
    EXPECT_EQ(outcome_.ExitCode(), kExitSucceeded);

    // The numbers the last stamped file holds come back with the outcome: a script's four, a
    // project file's three with the run's fourth.
    auto quad = [](const VersionQuad& v) { return FormatW(L"%u.%u.%u.%u", v.major, v.minor, v.build, v.revision); };
    Run({2, 1}, ActionAutoIncrement);
    EXPECT_EQ(quad(outcome_.lastStamped), L"70000.1.1.7");
    Run({1, 2}, ActionAutoIncrement, VersionQuad{0, 0, 0, 9});
    EXPECT_EQ(quad(outcome_.lastStamped), L"70000.1.2.7");  // the script before it read 7
}

TEST_F(StampVersionsTest, EveryFailedTargetSaysWhyAndFailsItsStep) {
    const std::wstring& tool = vbp_;
    const std::wstring other = dir_.File(L"Other.vbp"), held = dir_.File(L"Held.rc");
    const std::wstring kept = dir_.File(L"Kept.rc"), gone = dir_.File(L"Gone.rc"), odd = dir_.File(L"Odd.rc");
    ASSERT_TRUE(SetFileAttributesW(tool.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteBytes(other, "Type=Exe\n MajorVer=1\n");  // LF line ends: no version line is seen
    // The user's own file named like the temporary one stays as it is.
    WriteBytes(kept + L".new", "mine");
    HANDLE lock = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Lines lines = Run({3, 2, 4, 99, 5, 6, 7, 1}, ActionAutoIncrement);
    CloseHandle(lock);
    SetFileAttributesW(tool.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::wstring unchanged = L"; the file is unchanged.";
    EXPECT_EQ(lines, (Lines{title_ + gone + L" ...", L"Not stamped: " + gone + L" does not exist.",
                            title_ + tool + L" ...", L"Not stamped: " + tool + L" is read-only" + unchanged,
                            title_ + odd + L" ...",
                            L"Not stamped: " + odd + L" belongs to a project that is neither VC6 nor VB6" + unchanged,
                            title_ + L" ...",  // a project the package doesn't hold
                            L"Not stamped: the package names no resource file for this project.",
                            title_ + other + L" ...", L"No version line found in " + other + unchanged,
                            title_ + held + L" ...",
                            L"Not stamped: " + held + L" is in use by another program" + unchanged,
                            title_ + kept + L" ...",
                            L"Not stamped: " + kept + L".new already exists and is kept" + unchanged,
                            title_ + rc_ + L" ...", L" -> 1.0.4.4"}));
    EXPECT_EQ(ReadBytes(kept + L".new"), "mine");
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"Calc.rc Held.rc Kept.rc Kept.rc.new Odd.rc Other.vbp Tool.vbp suite.kwp");
    Lines summary = outcome_.SummaryLines();
    EXPECT_EQ(Lines(summary.begin() + 1, summary.end()),
              (Lines{L"  Gone: version not stamped (file missing)", L"  Tool: version not stamped (read-only)",
                     L"  Odd: version not stamped (unknown project kind)",
                     L"  Project 99: version not stamped (no resource file named)",
                     L"  Other: version not stamped (no version line)", L"  Held: version not stamped (in use)",
                     L"  Kept: version not stamped (.new file exists)"}));
    EXPECT_EQ(outcome_.ExitCode(), kExitFailed);
}

}  // namespace
}  // namespace kw
