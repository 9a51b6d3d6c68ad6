// kilnworks-cli run, run as the user would run it, over stand-in projects.
#include <gtest/gtest.h>

#include "cli/RunOptions.h"
#include "common/TestSupport.h"
#include "win/Text.h"

#include <windows.h>

using kwtest::ScratchDir;

namespace {

const char kUsage[] = "usage:";

std::string Dsp(const std::string& name) {
    return "# TARGTYPE \"Win32 (x86) Application\" 0x0101\r\n"
           "!MESSAGE \"" + name + " - Win32 Release\" (based on \"Win32 (x86) Application\")\r\n"
           "!MESSAGE \"" + name + " - Win32 Debug\" (based on \"Win32 (x86) Application\")\r\n"
           "!IF  \"$(CFG)\" == \"" + name + " - Win32 Release\"\r\n# PROP Output_Dir \"Release\"\r\n"
           "!ELSEIF  \"$(CFG)\" == \"" + name + " - Win32 Debug\"\r\n# PROP Output_Dir \"Debug\"\r\n!ENDIF\r\n"
           "SOURCE=.\\" + name + ".cpp\r\n";
}

std::string ProjectXml(int id, const std::string& name, const std::string& compiler, const std::string& folder) {
    return "<Project><ProjectID>" + std::to_string(id) + "</ProjectID><Name>" + name + "</Name><SourceLocation>" +
           folder + "</SourceLocation><Compiler>" + compiler +
           "</Compiler><DebugConfig>Win32 Debug</DebugConfig><ReleaseConfig>Win32 Release</ReleaseConfig>"
           "<ResourceFile>" + folder + "\\none</ResourceFile><Registrable>N</Registrable></Project>";
}

class RunCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The prefix's VsCommonDir must lead to the stand-ins, as the test script sets it.
        wchar_t folder[256] = {};
        DWORD bytes = sizeof(folder) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\VisualStudio\\6.0\\Setup", L"VsCommonDir",
                         RRF_RT_REG_SZ, nullptr, folder, &bytes) != ERROR_SUCCESS ||
            !kwtest::FileExists(std::wstring(folder) + L"\\MSDEV98\\Bin\\MSDEV.exe")) {
            GTEST_SKIP() << "VsCommonDir does not lead to the stand-in builders";
        }
        calcFolder_ = dir_.File(L"My Projects\\Calc");
        toolFolder_ = dir_.File(L"My Projects\\Tool");
        CreateDirectoryW(dir_.File(L"My Projects").c_str(), nullptr);
        CreateDirectoryW(calcFolder_.c_str(), nullptr);
        CreateDirectoryW(toolFolder_.c_str(), nullptr);
        kwtest::WriteBytes(calcFolder_ + L"\\Calc.dsp", Dsp("Calc"));
        kwtest::WriteBytes(toolFolder_ + L"\\Tool.vbp", "Type=Exe\r\nForm=frmMain.frm\r\nExeName32=\"Tool.exe\"\r\n");
        package_ = dir_.File(L"my package.kwp");
        kwtest::WriteBytes(package_, "<Package><Name>P</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects>" +
                                         ProjectXml(2, "Calc", "VC6", kw::ToUtf8(calcFolder_)) +
                                         ProjectXml(1, "Tool", "VB6", kw::ToUtf8(toolFolder_)) +
                                         "</Projects></Package>");
    }

    kwtest::Captured Run(const std::wstring& arguments, const std::vector<std::wstring>& environment = {}) {
        return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" run " + arguments,
                                   environment);
    }
    std::wstring Package() const { return L"\"" + package_ + L"\""; }

    std::string CalcLines(const char* configuration) const {
        return std::string("--------------------Configuration: Calc - Win32 ") + configuration +
               "--------------------\r\nCompiling...\r\nCalc.cpp\r\nLinking...\r\n"
               "Calc.exe - 0 error(s), 0 warning(s)\r\n";
    }
    std::string ToolLines() const {
        return "Building Tool ...\r\nBuild of '" + kw::ToUtf8(toolFolder_) + "\\Tool.exe' succeeded.\r\n";
    }

    ScratchDir dir_{L"run"};
    std::wstring calcFolder_;
    std::wstring toolFolder_;
    std::wstring package_;
};

TEST_F(RunCommandTest, PrintsTheEventLogOfAWholeRun) {
    auto r = Run(Package() + L" --targets all --debug --release");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, CalcLines("Debug") + CalcLines("Release") + ToolLines());
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(kwtest::FileExists(calcFolder_ + L"\\Release\\Calc.exe"));
    EXPECT_TRUE(kwtest::FileExists(toolFolder_ + L"\\Tool.exe"));
}

TEST_F(RunCommandTest, RunsOnlyTheChosenTargets) {
    auto r = Run(Package() + L" --targets 2,2 --release");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, CalcLines("Release"));

    // An ID the package lacks goes to the engine as it is: the BASIC step ends there.
    r = Run(Package() + L" --targets 9,1 --debug");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ToolLines());
}

TEST_F(RunCommandTest, FailingBuilderIsShownNotJudged) {
    kwtest::WriteBytes(calcFolder_ + L"\\standin.ini", "result=fail\n");
    auto r = Run(Package() + L" --debug --clean");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Calc.exe - 1 error(s), 0 warning(s)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("Deleting intermediate files and output files for project 'Calc - Win32 Debug'."),
              std::string::npos);
}

TEST_F(RunCommandTest, RefusedStart) {
    for (const wchar_t* actions : {L"", L" --clean", L" --rebuild-all --clean"}) {
        auto r = Run(Package() + actions);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "No action was selected for execution.\r\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(RunCommandTest, UnreadablePackage) {
    auto r = Run(L"\"" + dir_.File(L"missing.kwp") + L"\" --debug");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error while parsing the package file.\r\n");

    kwtest::WriteBytes(package_, "<Package><Name>P</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>");
    r = Run(Package() + L" --debug");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Hint: This package doesn't contain any project.\r\n");
}

TEST_F(RunCommandTest, BadArgumentsPrintUsage) {
    for (const wchar_t* arguments :
         {L"", L"--debug", L"PKG --frobnicate", L"PKG --targets", L"PKG --targets x", L"PKG --targets 1,,2",
          L"PKG --targets 0", L"PKG --set-version 1.2.3", L"PKG --set-version 1.2.3.4 --auto-increment",
          L"PKG other.kwp --debug"}) {
        std::wstring line = arguments;
        size_t at = line.find(L"PKG");
        if (at != std::wstring::npos) line.replace(at, 3, Package());
        auto r = Run(line);
        EXPECT_EQ(r.exitCode, 2) << kwtest::Narrow(arguments);
        EXPECT_NE(r.err.find(kUsage), std::string::npos) << kwtest::Narrow(arguments);
    }
}

TEST_F(RunCommandTest, NeedsATemporaryFolder) {
    auto r = Run(Package() + L" --debug", {L"TEMP=", L"TMP="});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Theres no folder configured for temporary files on this machine. Please repair this, and "
                     "restart the program!\r\n");

    // TMP alone will do; the builders' logs go there and are gone afterwards.
    std::wstring temp = dir_.File(L"tmp only");
    CreateDirectoryW(temp.c_str(), nullptr);
    r = Run(Package() + L" --targets 2 --debug", {L"TEMP=", L"TMP=" + temp});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, CalcLines("Debug"));
    EXPECT_EQ(kwtest::ListFolder(temp), L"");
}

TEST(RunOptions, ReadsEveryOption) {
    kw::cli::RunOptions options;
    ASSERT_TRUE(kw::cli::ParseRunOptions({L"p.kwp", L"--targets", L"3,-1,2", L"--debug", L"--release",
                                          L"--rebuild-all", L"--clean", L"--set-version", L"1.2.3.4"},
                                         options));
    EXPECT_EQ(options.package, L"p.kwp");
    EXPECT_FALSE(options.allTargets);
    EXPECT_EQ(options.targets, (std::vector<int>{3, -1, 2}));
    EXPECT_TRUE(options.debug && options.release && options.rebuildAll && options.clean && options.setVersion);
    EXPECT_FALSE(options.autoIncrement);
    EXPECT_EQ(options.version.major, 1u);
    EXPECT_EQ(options.version.revision, 4u);

    ASSERT_TRUE(kw::cli::ParseRunOptions({L"--auto-increment", L"p.kwp"}, options));
    EXPECT_TRUE(options.allTargets);
    EXPECT_TRUE(options.autoIncrement);
    EXPECT_FALSE(options.debug || options.setVersion);
}

TEST(RunOptions, VersionNumbersAreReadLikeTheVersionFields) {
    using kw::ReadVersionNumber;
    EXPECT_EQ(ReadVersionNumber(L"12abc"), 12u);
    EXPECT_EQ(ReadVersionNumber(L""), 0u);
    EXPECT_EQ(ReadVersionNumber(L"  7"), 7u);
    EXPECT_EQ(ReadVersionNumber(L"-1"), 4294967295u);
    EXPECT_EQ(ReadVersionNumber(L"+5"), 5u);
    EXPECT_EQ(ReadVersionNumber(L"x9"), 0u);

    kw::cli::RunOptions options;
    ASSERT_TRUE(kw::cli::ParseRunOptions({L"p", L"--set-version", L"..x.-2"}, options));
    EXPECT_EQ(options.version.major, 0u);
    EXPECT_EQ(options.version.revision, 4294967294u);
}

TEST(RunOptions, TargetsAreOrderedOnce) {
    EXPECT_EQ(kw::OrderTargets({5, 1, 3, 1, -2}), (std::vector<int>{-2, 1, 3, 5}));
    // A ProjectID that reads as 0 (empty or not a number) would end the list before the rest.
    EXPECT_EQ(kw::OrderTargets({2, 0, 1, 0}), (std::vector<int>{1, 2}));
}

}  // namespace
