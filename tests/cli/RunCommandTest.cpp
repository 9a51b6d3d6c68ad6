// kilnworks-cli run, run as the user would run it, over stand-in projects: what it prints and the
// exit code that says what the run came to.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "common/XmlRead.h"
#include "engine/RunJob.h"
#include "win/Text.h"

using kwtest::TestProject;

namespace {

// VsCommonDir as a test needs it; put back as the test script sets it afterwards.
struct VisualStudioValue {
    ~VisualStudioValue() { Set(REG_SZ, kwtest::StandInVisualStudioFolder()); }
    void Set(DWORD type, const std::wstring& text) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kw::kVisualStudioSetupKey, kw::kVisualStudioFolderValue);
        if (type == REG_NONE) return;
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kw::kVisualStudioSetupKey, kw::kVisualStudioFolderValue, type, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
};

class RunCommandTest : public ::testing::Test {
protected:
    TestProject Project(const std::wstring& id, const std::wstring& name, const std::wstring& compiler = L"VC6") {
        return {id, name, compiler, dir_.File(L"My Projects\\" + name)};
    }
    void Write() {
        kwtest::WriteProjects(projects_);
        kwtest::WritePackage(package_, projects_);
    }

    kwtest::Captured Run(const std::wstring& arguments, const std::vector<std::wstring>& environment = {},
                         const std::function<void(DWORD)>& during = nullptr) {
        return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" run \"" + package_ +
                                       L"\" " + arguments, environment, during);
    }

    kwtest::ScratchDir dir_{L"run"};
    std::wstring package_ = dir_.File(L"my package.kwp");
    std::vector<TestProject> projects_ = {Project(L"2", L"Calc"), Project(L"1", L"Tool", L"VB6")};
};

// Standard output is the event log line by line, ending in the summary; the exit code says what
// the run came to.
TEST_F(RunCommandTest, PrintsTheEventLogAndExitsWithWhatHappened) {
    const wchar_t* names[][2] = {{L"3", L"Fails"}, {L"4", L"Crashes"}, {L"5", L"Plain"},
                                 {L"0", L"Zero"},  {L"abc", L"Letters"}, {L"5", L"Twin"}, {L"6", L"Deep"},
                                 {L"99999999999", L"Huge"}, {L"007", L"Padded"}};
    for (const auto& [id, name] : names) projects_.push_back(Project(id, name));
    projects_[2].standIn = "result=fail\n";
    projects_[3].standIn = "result=crash\n";
    // A folder the system can't make current: nothing can make it, and nothing starts there.
    projects_[8].folder = dir_.File(std::wstring(300 - dir_.Path().size() - 1, L'd'));
    projects_[8].writeProjectFile = false;
    // Names and configurations from the package can't end a line or reorder one.
    projects_.push_back(Project(L"12", L"Calc\u202Eexe.cod"));
    projects_.push_back(Project(L"13", L"Tool\u2028Line", L"VB6"));
    projects_[11].debugConfig = L"Win32\u2066 Debug";
    projects_[11].writeProjectFile = projects_[12].writeProjectFile = false;
    projects_.push_back(Project(L"14", L"Other"));
    Write();
    // The package writer escapes '&'; the name's CR LF must reach the package as character references.
    std::string xml = kwtest::ReadBytes(package_);
    xml.replace(xml.find("<Name>Other"), 11, "<Name>" + kw::ToUtf8(L"\u2029") + "Other&#13;&#10;Summary: 2 targets, "
                                             "2 succeeded, 0 failed, 0 not run.");
    kwtest::WriteBytes(package_, xml);
    const std::wstring longTemp = dir_.File(std::wstring(240, L't')), tmpOnly = dir_.File(L"tmp only");
    CreateDirectoryW(tmpOnly.c_str(), nullptr);
    kwtest::WriteBytes(dir_.File(L"plain file"), "x");
    const std::wstring standIn = kwtest::StandInVisualStudioFolder(), noFolder = dir_.File(L"no folder"),
                       junit = dir_.File(L"run.xml");
    struct Case {
        std::wstring arguments;
        std::vector<std::wstring> environment;
        int exitCode;
        std::vector<std::string> expected;  // in standard output or error
        DWORD type = REG_SZ;   // of VsCommonDir, REG_NONE: none
        std::wstring folder = {};  // VsCommonDir, the stand-ins' when empty
    } cases[] = {
        {L"--targets 2,1 --debug --release", {}, 0,
         {"Calc.exe - 0 error(s), 0 warning(s)\r\n--------------------Configuration: Calc - Win32 Release",
          "Build of '" + kw::ToUtf8(projects_[1].folder) + "\\Tool.exe' succeeded.\r\nSummary: "}},
        {L"--targets all --set-version 1.2.3.4 --debug --junit \"" + junit + L"\"", {}, 4,
         {"Project 'Zero' has no usable ProjectID (0); it is not run.\r\n"
          "Project 'Letters' has no usable ProjectID (abc); it is not run.\r\n"
          "Project 'Twin' has no usable ProjectID (5, as an earlier project's); it is not run.\r\n"
          "Project 'Huge' has no usable ProjectID (99999999999); it is not run.\r\n"
          "Project 'Padded' has no usable ProjectID (007); it is not run.\r\n"}},
        {L"--targets 6 --debug", {}, 3, {"its working folder is 300 characters long"}},
        // A name with a line break names no file: the project is not run, so no builder echoes it back.
        {L"--targets 12,13,14 --debug", {}, 4,
         {"Calc\\u202Eexe.cod (Win32\\u2066 Debug): ", "Building Tool\\u2028Line ...",
          "Summary: 3 targets, 0 succeeded, 2 failed, 1 not run, in ",
          "  \\u2029Other\\r\\nSummary: 2 targets, 2 succeeded, 0 failed, 0 not run.: a control character in its "
          "settings\r\n"}},
        {L"--targets 2 --debug", {}, 3,
         {"Could not start <not installed>\\MSDEV98\\Bin\\MSDEV: File not found (error 2).\r\n"}, REG_NONE},
        {L"--targets 2 --debug", {}, 3,
         {"The Visual Studio folder in the registry (VsCommonDir) is not a text value; it is not used.\r\n"}, REG_DWORD},
        {L"--targets 2 --debug", {L"TEMP=", L"TMP=" + tmpOnly, L"KW_VS_FOLDER=" + standIn}, 0,
         {"Calc.exe - 0 error(s), 0 warning(s)\r\n"}, REG_EXPAND_SZ, L"%KW_VS_FOLDER%"},
        {L"--targets 2,3 --debug --jobs 2", {}, 4, {"2>Calc.exe - 0 error(s), 0 warning(s)\r\n"}},
        // A record that couldn't be written is refused before anything is stamped or built.
        {L"--set-version 1.2.3.4 --debug --junit \"" + noFolder + L"\\k.xml\"", {}, 2,
         {"kilnworks-cli: --junit '" + kw::ToUtf8(noFolder) + "\\k.xml' can't be written: the folder '" +
          kw::ToUtf8(noFolder) + "' does not exist.\r\n"}},
        {L"--debug", {L"TEMP=", L"TMP="}, 1, {"Theres no folder configured for temporary files"}},
        {L"--debug", {L"TEMP=" + dir_.File(L"plain file")}, 1, {"plain file can't be used: it is a file, not a folder."}},
        {L"--debug", {L"TEMP=" + longTemp}, 1, {"can't be used: its path is too long for the builders' log files.\r\n"}},
    };
    VisualStudioValue value;
    for (const Case& c : cases) {
        value.Set(c.type, c.folder.empty() ? standIn : c.folder);
        auto r = Run(c.arguments, c.environment);
        SCOPED_TRACE(kwtest::Narrow(c.arguments) + "\n" + r.out + r.err);
        EXPECT_EQ(r.exitCode, c.exitCode);
        for (const std::string& expected : c.expected) EXPECT_NE((r.out + r.err).find(expected), std::string::npos);
        if (c.exitCode == 1 || c.exitCode == 2) {
            EXPECT_EQ(r.out, "") << "refused before the run";
            continue;
        }
        // Whole lines only, none reordered, and one summary: the run's own, last when all went well.
        EXPECT_EQ(r.out.rfind("\r\n"), r.out.size() - 2);
        if (c.exitCode == 0) {
            EXPECT_EQ(r.out.substr(r.out.size() - 5) + r.err, " s.\r\n");
        }
        for (const char* raw : {"\xE2\x80\xAE", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x81\xA6"})
            EXPECT_EQ(r.out.find(raw), std::string::npos);
        const std::string text = "\n" + r.out;
        const size_t summary = text.find("\nSummary: ");
        EXPECT_TRUE(summary != std::string::npos && summary == text.rfind("\nSummary: "));
    }
    EXPECT_EQ(kwtest::ListFolder(tmpOnly), L"") << "the builders' logs are gone";
    EXPECT_EQ(kwtest::XmlRead(junit).Text(L"//*[@name='Zero']/skipped/@message"), L"not run: no usable ProjectID");
}

// The run's records for a CI server (what they hold is the engine's) are written when the run ends,
// whatever it came to; a report another program holds open is said so and kept.
TEST_F(RunCommandTest, WritesTheRunsRecordsAfterATimeOutAndKeepsOneHeldOpen) {
    projects_[0].standIn = "hang=60000\n";
    Write();
    const std::wstring junit = dir_.File(L"kilnworks.xml"), report = dir_.File(L"kilnworks.html");
    kwtest::WriteBytes(junit, "old");
    kwtest::WriteBytes(report, "old");
    HANDLE lock = CreateFileW(report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    auto r = Run(L"--targets 2 --debug --timeout 1 --junit \"" + junit + L"\" --report \"" + report + L"\"");
    CloseHandle(lock);
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_NE(r.err.find("Could not write '" + kw::ToUtf8(report) + "': "), std::string::npos) << r.err;
    EXPECT_EQ(kwtest::ReadBytes(report), "old");
    kwtest::XmlRead timedOut(junit);
    EXPECT_EQ(timedOut.Texts(L"//testcase/@name"), std::vector<std::wstring>{L"Calc (Win32 Debug)"});
    EXPECT_EQ(timedOut.Text(L"//testcase/failure/@message"), L"timed out: after 1 s");
}

// (Ctrl+C takes the same StopRun as the engine's stop test; Wine can't send it between
// processes here.) Even killed outright, the program takes its builders' process trees with it.
TEST_F(RunCommandTest, NoBuilderOutlivesTheProgram) {
    projects_[0].standIn = "hang=60000\nspawn=child.pid\n";
    Write();
    const std::wstring pidFile = projects_[0].folder + L"\\child.pid";
    auto r = Run(L"--targets all --debug", {}, [&](DWORD processId) {
        for (int i = 0; i < 600 && !kwtest::FileExists(pidFile); ++i) Sleep(50);
        HANDLE program = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
        TerminateProcess(program, 99);
        CloseHandle(program);
    });
    EXPECT_EQ(r.exitCode, 99);
    DWORD pid = std::wcstoul(kw::FromUtf8(kwtest::ReadBytes(pidFile)).c_str(), nullptr, 10);
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
    EXPECT_TRUE(!child || WaitForSingleObject(child, 10000) == WAIT_OBJECT_0) << "the builder's child survived";
    if (child) CloseHandle(child);
}

}  // namespace
