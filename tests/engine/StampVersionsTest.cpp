// The stamping step as the worker runs it: a package, its targets, the run settings, and the
// lines that reach the event log.
#include <gtest/gtest.h>

#include <windows.h>


#include <vector>

#include "engine/LogText.h"
#include "engine/RunSettings.h"
#include "common/TestSupport.h"
#include "common/SortedFolder.h"
#include "package/PackageDocument.h"
#include "version/StampFile.h"
#include "engine/StampVersions.h"
#include "win/Text.h"

using namespace kw;
using kwtest::FileExists;
using kwtest::ReadBytes;
using kwtest::ScratchDir;
using kwtest::WriteBytes;

namespace {

const HWND kListBox = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

// A message-only window standing in for the main window: collects the posted log lines.
class LogReceiver {
public:
    LogReceiver() {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~LogReceiver() {
        Collect();
        DestroyWindow(window_);
    }
    HWND Window() const { return window_; }

    // Every line posted so far, in order.
    std::vector<std::wstring> Collect() {
        std::vector<std::wstring> lines;
        MSG msg;
        while (PeekMessageW(&msg, window_, WM_LOG_TEXT, WM_LOG_TEXT, PM_REMOVE)) {
            auto* logText = reinterpret_cast<LogText*>(msg.wParam);
            EXPECT_EQ(logText->listBox, kListBox);
            EXPECT_EQ(logText->isWide, 1);
            lines.emplace_back(static_cast<const wchar_t*>(logText->text));
            FreeLogText(logText);
        }
        return lines;
    }

private:
    HWND window_ = nullptr;
};

std::string ProjectXml(int id, const std::wstring& name, const char* compiler, const std::wstring& resourceFile) {
    return "<Project><ProjectID>" + std::to_string(id) + "</ProjectID><Name>" + ToUtf8(name) +
           "</Name><SourceLocation>C:\\Src</SourceLocation><Compiler>" + compiler +
           "</Compiler><DebugConfig>Win32 Debug</DebugConfig><ReleaseConfig>Win32 Release</ReleaseConfig>"
           "<ResourceFile>" + ToUtf8(resourceFile) + "</ResourceFile><Registrable>N</Registrable>"
           "<Dependencies></Dependencies></Project>";
}

class StampVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(receiver_.Window(), nullptr);
        rc_ = dir_.File(L"Calc.rc");
        vbp_ = dir_.File(L"Tool.vbp");
        other_ = dir_.File(L"Other.vbp");
        gone_ = dir_.File(L"Gone.rc");
        odd_ = dir_.File(L"Odd.rc");
        const std::string xml = "<?xml version=\"1.0\"?><Package><Name>Suite</Name><CurrentVersion>1.0.0.0"
                                "</CurrentVersion><Projects>" +
                                ProjectXml(1, L"Calc", "VC6", rc_) + ProjectXml(2, L"Tool", "VB6", vbp_) +
                                ProjectXml(3, L"Gone", "VC6", gone_) + ProjectXml(4, L"Odd", "VC7", odd_) +
                                ProjectXml(5, L"Other", "VB6", other_) + "</Projects></Package>";
        WriteBytes(dir_.File(L"suite.kwp"), xml);
        ASSERT_EQ(document_.OpenPackage(dir_.File(L"suite.kwp")), 0);

        WriteBytes(rc_, kScript);
        WriteBytes(vbp_, "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=12\r\nName=\"Tool\"\r\n");
        WriteBytes(other_, "Type=Exe\r\nRevisionVer=7\r\nMajorVer=9\r\nMinorVer=8\r\n");
        WriteBytes(odd_, kScript);

        saved_ = TheRunSettings();
        TheRunSettings().document = &document_;
    }

    void TearDown() override { TheRunSettings() = saved_; }

    std::vector<std::wstring> Run(std::vector<int> targets, ActionSet actions, VersionQuad version = {}) {
        targets.push_back(0);
        TheRunSettings().actions = actions;
        TheRunSettings().version = version;
        EXPECT_EQ(StampVersions(targets.data(), receiver_.Window(), kListBox), 0);
        return receiver_.Collect();
    }

    static constexpr const char* kScript =
        "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 1,0,3,4\r\n PRODUCTVERSION 1,0,3,4\r\n"
        "            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n"
        "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\nEND\r\n";

    const std::wstring title_ = LoadResourceString(119);
    ScratchDir dir_{L"step"};
    std::wstring rc_, vbp_, other_, gone_, odd_;
    PackageDocument document_;
    LogReceiver receiver_;
    RunSettings saved_;
};

}  // namespace

TEST_F(StampVersionsTest, SetLogsTheNumbersOncePerTarget) {
    auto lines = Run({1, 2}, ActionSetVersion, VersionQuad{2, 1, 0, 7});
    ASSERT_EQ(title_, L"Versionating");
    EXPECT_EQ(lines, (std::vector<std::wstring>{title_ + L" " + rc_ + L" -> 2.1.0.7",
                                                title_ + L" " + vbp_ + L" -> 2.1.0"}));
    EXPECT_EQ(ReadBytes(rc_), "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 2,1,0,7\r\n PRODUCTVERSION 2,1,0,7\r\n"
                              "            VALUE \"FileVersion\", \"2.1.0.7\\0\"\r\n"
                              "            VALUE \"ProductVersion\", \"2.1.0.7\\0\"\r\nEND\r\n");
    EXPECT_EQ(ReadBytes(vbp_), "Type=Exe\r\nMajorVer=2\r\nMinorVer=1\r\nRevisionVer=0\r\nName=\"Tool\"\r\n");
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc Odd.rc Other.vbp Tool.vbp suite.kwp");
}

TEST_F(StampVersionsTest, IncrementLogsTheResultOfEachFile) {
    auto lines = Run({1, 2}, ActionAutoIncrement, VersionQuad{5, 5, 5, 5});
    EXPECT_EQ(lines, (std::vector<std::wstring>{title_ + L" " + rc_ + L" ...", L" -> 1.0.4.4",
                                                title_ + L" " + vbp_ + L" ...", L" -> 1.0.13"}));
    EXPECT_EQ(ReadBytes(vbp_), "Type=Exe\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=13\r\nName=\"Tool\"\r\n");
    // The numbers last read stay in the run settings: major and minor of the project file, build
    // and revision of the script's last version line.
    const VersionQuad& v = TheRunSettings().version;
    EXPECT_EQ(v.major, 1u);
    EXPECT_EQ(v.minor, 0u);
    EXPECT_EQ(v.build, 4u);
    EXPECT_EQ(v.revision, 4u);
}

TEST_F(StampVersionsTest, MajorVerAfterRevisionVerLogsTheNumbersHeldBefore) {
    WriteBytes(vbp_, "MajorVer=4\r\nMinorVer=5\r\nRevisionVer=1\r\n");
    auto lines = Run({2, 5}, ActionAutoIncrement);
    EXPECT_EQ(lines, (std::vector<std::wstring>{title_ + L" " + vbp_ + L" ...", L" -> 4.5.2",
                                                title_ + L" " + other_ + L" ...", L" -> 4.5.8"}));
    EXPECT_EQ(ReadBytes(other_), "Type=Exe\r\nRevisionVer=8\r\nMajorVer=9\r\nMinorVer=8\r\n");
    EXPECT_EQ(TheRunSettings().version.major, 9u);
    EXPECT_EQ(TheRunSettings().version.minor, 8u);
}

TEST_F(StampVersionsTest, FailedTargetsSayWhyAndTheStepGoesOn) {
    WriteBytes(vbp_, "MajorVer=1\r\n");
    ASSERT_TRUE(SetFileAttributesW(vbp_.c_str(), FILE_ATTRIBUTE_READONLY));
    auto lines = Run({3, 2, 4, 99, 1}, ActionAutoIncrement);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], title_ + L" " + gone_ + L" ...");
    EXPECT_EQ(lines[1], L"Not stamped: " + gone_ + L" does not exist.");
    EXPECT_EQ(lines[2], title_ + L" " + vbp_ + L" ...");
    EXPECT_EQ(lines[3], L"Not stamped: " + vbp_ + L" is read-only; the file is unchanged.");
    EXPECT_EQ(lines[4], title_ + L" " + odd_ + L" ...");
    EXPECT_EQ(lines[5], L"Not stamped: " + odd_ + L" belongs to a project that is neither VC6 nor VB6; the file is "
                        L"unchanged.");
    // A project the package doesn't hold: the line names an empty path.
    EXPECT_EQ(lines[6], title_ + L"  ...");
    EXPECT_EQ(lines[7], L"Not stamped: the package names no resource file for this project.");
    EXPECT_EQ(lines[8], title_ + L" " + rc_ + L" ...");
    EXPECT_EQ(lines[9], L" -> 1.0.4.4");

    EXPECT_EQ(ReadBytes(vbp_), "MajorVer=1\r\n");
    EXPECT_EQ(ReadBytes(odd_), kScript);
    EXPECT_EQ(Sorted(dir_.Path()), L"Calc.rc Odd.rc Other.vbp Tool.vbp suite.kwp");
    SetFileAttributesW(vbp_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StampVersionsTest, LockedOrUnreadableScriptIsReportedWithoutNumbers) {
    HANDLE lock = CreateFileW(rc_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    auto lines = Run({1}, ActionSetVersion, VersionQuad{2, 1, 0, 7});
    CloseHandle(lock);
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         title_ + L" " + rc_ + L" -> 2.1.0.7",
                         L"Not stamped: " + rc_ + L" is in use by another program; the file is unchanged."}));
    EXPECT_EQ(ReadBytes(rc_), kScript);

    // The ProductVersion line is read before the zero byte; its " -> " line must not appear.
    WriteBytes(rc_, std::string(" FILEVERSION 1,0,3,4\r\n VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n\0\r\n", 62));
    lines = Run({1}, ActionAutoIncrement, VersionQuad{5, 5, 5, 5});
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         title_ + L" " + rc_ + L" ...",
                         L"Not stamped: " + rc_ +
                             L" holds zero bytes and is not UTF-16 text, so it was skipped; the file is unchanged."}));
    EXPECT_EQ(TheRunSettings().version.major, 5u);
}

TEST_F(StampVersionsTest, NothingToDoPostsNothing) {
    EXPECT_TRUE(Run({}, ActionAutoIncrement).empty());
    EXPECT_TRUE(Run({1, 2}, ActionDebug).empty()) << "no version action: the step leaves the files alone";
    EXPECT_EQ(ReadBytes(rc_), kScript);
    TheRunSettings().document = nullptr;
    auto lines = Run({1}, ActionSetVersion, VersionQuad{1, 2, 3, 4});
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         title_ + L"  -> 1.2.3", L"Not stamped: the package names no resource file for this project."}));
}

TEST_F(StampVersionsTest, SingleLineRewritePostsOnlyWhenAsked) {
    TheRunSettings().actions = ActionAutoIncrement;
    std::string line = "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n";
    RewriteResourceVersionLine(line, 37, true, true, receiver_.Window(), kListBox);
    EXPECT_EQ(line, "            VALUE \"ProductVersion\", \"1.0.4.4\\0\"\r\n");
    EXPECT_EQ(receiver_.Collect(), std::vector<std::wstring>{L" -> 1.0.4.4"});
    line = " FILEVERSION 1,0,3,4\r\n";
    RewriteResourceVersionLine(line, 13, false, false, receiver_.Window(), kListBox);
    EXPECT_EQ(line, " FILEVERSION 1,0,4,4\r\n");
    EXPECT_TRUE(receiver_.Collect().empty());
}
