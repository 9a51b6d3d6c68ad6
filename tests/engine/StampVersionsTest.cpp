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

// Which files are stamped and what the event log says of each is the step's; how a file is
// rewritten, and that a refused one keeps every byte, is the rewrite's own (its tests).
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
    for (const std::wstring& script : {rc, odd, held, kept}) WriteBytes(script, kScript);
    WriteBytes(tool, "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nName=\"Tool\"\r\n");

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
    WriteBytes(other, "Type=Exe\n MajorVer=1\n");  // LF line ends: no version line is seen
    // The user's own file named like the temporary one stays as it is.
    WriteBytes(kept + L".new", "mine");
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
    EXPECT_EQ(ReadBytes(kept + L".new"), "mine");
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
    EXPECT_NE(ReadBytes(rc).find(" FILEVERSION 70000,1,0,7\r\n PRODUCTVERSION 70000,1,0,7\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(tool).find("MajorVer=70000\r\nMinorVer=1\r\nRevisionVer=0\r\n"), std::string::npos);
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

}  // namespace
}  // namespace kw
