// The stamping step as the worker runs it: a package, its targets, the run settings, the lines
// that reach the event log and the outcome each target gets.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "common/SortedFolder.h"
#include "engine/RunControl.h"
#include "engine/RunSettings.h"
#include "engine/StampVersions.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

using namespace kw;
using kwtest::ReadBytes;
using kwtest::WriteBytes;
using Lines = std::vector<std::wstring>;

namespace {

FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

class StampVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rc_ = dir_.File(L"Calc.rc");
        vbp_ = dir_.File(L"Tool.vbp");
        other_ = dir_.File(L"Other.vbp");
        gone_ = dir_.File(L"Gone.rc");
        odd_ = dir_.File(L"Odd.rc");
        std::vector<kwtest::TestProject> projects;
        const wchar_t* kinds[][2] = {{L"Calc", L"VC6"}, {L"Tool", L"VB6"}, {L"Gone", L"VC6"}, {L"Odd", L"VC7"}, {L"Other", L"VB6"}};
        for (const auto& [name, kind] : kinds) {
            projects.push_back({std::to_wstring(projects.size() + 1), name, kind, dir_.Path()});
        }
        kwtest::WritePackage(dir_.File(L"suite.kwp"), projects);
        ASSERT_EQ(document_.OpenPackage(dir_.File(L"suite.kwp")), 0);
        WriteBytes(rc_, kScript);
        WriteBytes(vbp_, "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nName=\"Tool\"\r\n");
        WriteBytes(other_, "Type=Exe\r\nRevisionVer=7\r\nMajorVer=9\r\nMinorVer=8\r\n");
        WriteBytes(odd_, kScript);
        saved_ = TheRunSettings();
        TheRunSettings().document = &document_;
    }

    void TearDown() override { TheRunSettings() = saved_; }

    Lines Run(std::vector<int> targets, ActionSet actions, VersionQuad version = {}) {
        targets.push_back(0);
        TheRunSettings().actions = actions;
        TheRunSettings().version = version;
        TheRunOutcome() = RunOutcome{};
        receiver_.Clear();
        EXPECT_EQ(StampVersions(targets.data(), receiver_.Window(), receiver_.ListBox()), 0);
        receiver_.Pump();
        EXPECT_FALSE(receiver_.ForeignListBox());
        return receiver_.Lines();
    }

    // The summary's lines for the targets that did not succeed.
    Lines Failures() const {
        Lines lines = TheRunOutcome().SummaryLines();
        return Lines(lines.begin() + 1, lines.end());
    }

    static constexpr const char* kScript =
        "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 1,0,3,4\r\n PRODUCTVERSION 1,0,3,4\r\n"
        "            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n"
        "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND\r\n";

    const std::wstring title_ = L"Versionating";
    kwtest::ScratchDir dir_{L"step"};
    std::wstring rc_, vbp_, other_, gone_, odd_;
    PackageDocument document_;
    kwtest::RunReceiver receiver_;
    RunSettings saved_;
};

}  // namespace

TEST_F(StampVersionsTest, SetLogsTheNumbersOncePerTarget) {
    ASSERT_EQ(LoadResourceString(119), title_);
    auto lines = Run({1, 2}, ActionSetVersion, VersionQuad{2, 1, 0, 7});
    EXPECT_EQ(lines, (Lines{title_ + L" " + rc_ + L" -> 2.1.0.7", title_ + L" " + vbp_ + L" -> 2.1.0"}));
    EXPECT_EQ(ReadBytes(rc_), "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 2,1,0,7\r\n PRODUCTVERSION 2,1,0,7\r\n"
                              "            VALUE \"FileVersion\", \"2.1.0.7\\0\"\r\n"
                              "            VALUE \"ProductVersion\", \"2.1.0.7\\0\"\r\nEND\r\n");
    EXPECT_EQ(ReadBytes(vbp_), "Type=Exe\r\nMajorVer=2\r\nMinorVer=1\r\nRevisionVer=0\r\nName=\"Tool\"\r\n");
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc Odd.rc Other.vbp Tool.vbp suite.kwp");
    EXPECT_EQ(TheRunOutcome().ExitCode(), kExitSucceeded);
}

TEST_F(StampVersionsTest, IncrementLogsWhatEachFileNowHolds) {
    auto lines = Run({1, 2}, ActionAutoIncrement, VersionQuad{5, 5, 5, 5});
    EXPECT_EQ(lines, (Lines{title_ + L" " + rc_ + L" ...", L" -> 1.0.4.4", title_ + L" " + vbp_ + L" ...",
                            L" -> 1.0.13"}));
    EXPECT_EQ(ReadBytes(vbp_), "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=13\r\nName=\"Tool\"\r\n");
    // Major and minor of the project file, build and revision of the script's last version line.
    const VersionQuad& v = TheRunSettings().version;
    EXPECT_EQ((std::vector<std::uint32_t>{v.major, v.minor, v.build, v.revision}),
              (std::vector<std::uint32_t>{1, 0, 4, 4}));

    // MajorVer after RevisionVer: the log uses the numbers held before; a wrapped RevisionVer is
    // logged as written.
    WriteBytes(vbp_, "MajorVer=4\r\nMinorVer=5\r\nRevisionVer=2147483647\r\n");
    lines = Run({2, 5}, ActionAutoIncrement);
    EXPECT_EQ(lines, (Lines{title_ + L" " + vbp_ + L" ...", L" -> 4.5.-2147483648", title_ + L" " + other_ + L" ...",
                            L" -> 4.5.8"}));
    EXPECT_EQ(ReadBytes(vbp_), "MajorVer=4\r\nMinorVer=5\r\nRevisionVer=-2147483648\r\n");
    EXPECT_EQ(TheRunSettings().version.major, 9u);
}

TEST_F(StampVersionsTest, FailedTargetsSayWhyAndFailTheirStep) {
    WriteBytes(vbp_, "MajorVer=1\r\n");
    ASSERT_TRUE(SetFileAttributesW(vbp_.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteBytes(other_, "Type=Exe\n MajorVer=1\n");  // LF line ends: no version line is seen
    const FILETIME before = WriteTime(other_);
    auto lines = Run({3, 2, 4, 99, 5, 1}, ActionAutoIncrement);
    EXPECT_EQ(lines, (Lines{
                         title_ + L" " + gone_ + L" ...", L"Not stamped: " + gone_ + L" does not exist.",
                         title_ + L" " + vbp_ + L" ...", L"Not stamped: " + vbp_ + L" is read-only; the file is unchanged.",
                         title_ + L" " + odd_ + L" ...",
                         L"Not stamped: " + odd_ + L" belongs to a project that is neither VC6 nor VB6; the file is unchanged.",
                         title_ + L"  ...",  // a project the package doesn't hold
                         L"Not stamped: the package names no resource file for this project.",
                         title_ + L" " + other_ + L" ...", L"No version line found in " + other_ + L"; the file is unchanged.",
                         title_ + L" " + rc_ + L" ...", L" -> 1.0.4.4"}));
    EXPECT_EQ(ReadBytes(vbp_), "MajorVer=1\r\n");
    EXPECT_EQ(ReadBytes(other_), "Type=Exe\n MajorVer=1\n");
    const FILETIME after = WriteTime(other_);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc Odd.rc Other.vbp Tool.vbp suite.kwp");
    EXPECT_EQ(Failures(), (Lines{L"  Gone: version not stamped (file missing)", L"  Tool: version not stamped (read-only)",
                                 L"  Odd: version not stamped (unknown project kind)",
                                 L"  Project 99: version not stamped (no resource file named)",
                                 L"  Other: version not stamped (no version line)"}));
    EXPECT_EQ(TheRunOutcome().ExitCode(), kExitFailed);
    SetFileAttributesW(vbp_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StampVersionsTest, UsersFilesAreNeverOverwritten) {
    // A file of the user's named like the temporary file stays as it is, read-only or not.
    WriteBytes(rc_ + L".new", "mine");
    SetFileAttributesW((rc_ + L".new").c_str(), FILE_ATTRIBUTE_READONLY);
    auto lines = Run({1}, ActionSetVersion, VersionQuad{2, 1, 0, 7});
    EXPECT_EQ(lines.back(), L"Not stamped: " + rc_ + L".new already exists and is kept; the file is unchanged.");
    EXPECT_EQ(ReadBytes(rc_ + L".new"), "mine");
    EXPECT_EQ(ReadBytes(rc_), kScript);
    SetFileAttributesW((rc_ + L".new").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((rc_ + L".new").c_str());

    HANDLE lock = CreateFileW(rc_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    lines = Run({1}, ActionSetVersion, VersionQuad{2, 1, 0, 7});
    CloseHandle(lock);
    EXPECT_EQ(lines.back(), L"Not stamped: " + rc_ + L" is in use by another program; the file is unchanged.");
    EXPECT_EQ(ReadBytes(rc_), kScript);
}

TEST_F(StampVersionsTest, PartsAbove16BitsAreWrittenWithAWarning) {
    auto lines = Run({1}, ActionSetVersion, VersionQuad{70000, 1, 2, 3});
    EXPECT_EQ(lines, (Lines{title_ + L" " + rc_ + L" -> 70000.1.2.3",
                            L"Warning: " + rc_ + L" now holds a version part above 65535; the resource compiler keeps "
                            L"only 16 bits of each part."}));
    EXPECT_NE(ReadBytes(rc_).find(" FILEVERSION 70000,1,2,3\r\n"), std::string::npos);
    EXPECT_TRUE(TheRunOutcome().targets.at(0).warned);
    EXPECT_EQ(TheRunOutcome().ExitCode(), kExitSucceeded);
}

TEST_F(StampVersionsTest, NothingToDoPostsNothing) {
    EXPECT_TRUE(Run({}, ActionAutoIncrement).empty());
    EXPECT_TRUE(Run({1, 2}, ActionDebug).empty()) << "no version action: the step leaves the files alone";
    EXPECT_EQ(ReadBytes(rc_), kScript);
    TheRunSettings().document = nullptr;
    EXPECT_EQ(Run({1}, ActionSetVersion, VersionQuad{1, 2, 3, 4}),
              (Lines{title_ + L"  -> 1.2.3", L"Not stamped: the package names no resource file for this project."}));
}
