// The builders' command lines, character for character, and the quoting that keeps every
// argument whole.
#include <gtest/gtest.h>

#include "engine/BuildCommands.h"
#include "common/RunSupport.h"
#include "win/Text.h"

namespace kw {
namespace {

BuildCommandInput Calc(std::wstring_view folder = L"C:\\VS\\Common") {
    BuildCommandInput input;
    input.visualStudioFolder = folder;
    input.projectName = L"Calc";
    input.sourceFolder = L"C:\\Src\\Calc";
    input.configuration = L"Win32 Debug";
    input.logPath = L"C:\\TEMP\\1412.log";
    return input;
}

BuildCommandInput Tool(std::wstring_view folder = L"C:\\VS\\Common") {
    BuildCommandInput input;
    input.visualStudioFolder = folder;
    input.projectName = L"Tool";
    input.sourceFolder = L"C:\\Src\\Tool";
    input.logPath = L"C:\\TEMP\\1412.log";
    return input;
}

TEST(BuildCommandLine, VisualCppMakeRebuildAndClean) {
    EXPECT_EQ(ComposeVisualCppCommandLine(Calc(), ActionDebug, false),
              L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /MAKE \"Calc - Win32 Debug\" "
              L"/OUT C:\\TEMP\\1412.log");
    EXPECT_EQ(ComposeVisualCppCommandLine(Calc(), ActionDebug, true),
              L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /MAKE \"Calc - Win32 Debug\" "
              L"/REBUILD /OUT C:\\TEMP\\1412.log");
    EXPECT_EQ(ComposeVisualCppCommandLine(Calc(), ActionClean, false),
              L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /CLEAN /OUT C:\\TEMP\\1412.log");
    // Rebuild All has no effect on a clean.
    EXPECT_EQ(ComposeVisualCppCommandLine(Calc(), ActionClean, true),
              ComposeVisualCppCommandLine(Calc(), ActionClean, false));
}

TEST(BuildCommandLine, VisualCppReleaseUsesTheGivenConfiguration) {
    BuildCommandInput input = Calc();
    input.configuration = L"Win32 Release";
    EXPECT_EQ(ComposeVisualCppCommandLine(input, ActionRelease, true),
              L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /MAKE \"Calc - Win32 Release\" "
              L"/REBUILD /OUT C:\\TEMP\\1412.log");
}

TEST(BuildCommandLine, VisualBasic) {
    EXPECT_EQ(ComposeVisualBasicCommandLine(Tool()),
              L"\"C:\\VS\\Common\\..\\vb98\\vb6.exe\" /out C:\\TEMP\\1412.log /m C:\\Src\\Tool\\Tool.vbp "
              L"/outdir C:\\Src\\Tool");
}

TEST(BuildCommandLine, NotInstalledFolderGoesIntoTheProgram) {
    EXPECT_EQ(VisualCppProgram(L"<not installed>"), L"\"<not installed>\\MSDEV98\\Bin\\MSDEV\"");
    EXPECT_EQ(VisualBasicProgram(L"<not installed>"), L"\"<not installed>\\..\\vb98\\vb6.exe\"");
    EXPECT_EQ(ComposeVisualCppCommandLine(Calc(L"<not installed>"), ActionDebug, false),
              L"\"<not installed>\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /MAKE \"Calc - Win32 Debug\" "
              L"/OUT C:\\TEMP\\1412.log");
    EXPECT_EQ(ComposeVisualBasicCommandLine(Tool(L"<not installed>")),
              L"\"<not installed>\\..\\vb98\\vb6.exe\" /out C:\\TEMP\\1412.log /m C:\\Src\\Tool\\Tool.vbp "
              L"/outdir C:\\Src\\Tool");
}

TEST(BuildCommandLine, LogFileIsNamedAfterTheThread) {
    EXPECT_EQ(LogFilePath(L"C:\\TEMP", 1412), L"C:\\TEMP\\1412.log");
    // Written as a signed number.
    EXPECT_EQ(LogFilePath(L"C:\\TEMP", -7), L"C:\\TEMP\\-7.log");
}

TEST(BuildCommandLine, BlanksAndQuotesKeepEveryArgumentWhole) {
    BuildCommandInput input;
    input.visualStudioFolder = L"C:\\Program Files\\VS\\Common";
    input.projectName = L"My Calc";
    input.sourceFolder = L"C:\\My Src\\Calc";
    input.configuration = L"Win32 \"Debug\" /CLEAN";
    input.logPath = L"C:\\Temp Files\\1412.log";
    std::wstring line = ComposeVisualCppCommandLine(input, ActionDebug, true);
    EXPECT_EQ(line,
              L"\"C:\\Program Files\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" \"C:\\My Src\\Calc\\My Calc.dsp\" /MAKE "
              L"\"My Calc - Win32 \\\"Debug\\\" /CLEAN\" /REBUILD /OUT \"C:\\Temp Files\\1412.log\"");
    std::vector<std::wstring> args = kwtest::SplitCommandLine(line);
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[1], L"C:\\My Src\\Calc\\My Calc.dsp");
    EXPECT_EQ(args[3], L"My Calc - Win32 \"Debug\" /CLEAN");
    EXPECT_EQ(args[6], L"C:\\Temp Files\\1412.log");

    BuildCommandInput basic = input;
    basic.projectName = L"Tool";
    basic.sourceFolder = L"C:\\My Src\\Tool\\";
    args = kwtest::SplitCommandLine(ComposeVisualBasicCommandLine(basic));
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[2], L"C:\\Temp Files\\1412.log");
    EXPECT_EQ(args[4], L"C:\\My Src\\Tool\\\\Tool.vbp");
    EXPECT_EQ(args[6], L"C:\\My Src\\Tool\\");
}

TEST(QuoteArgument, LeavesPlainArgumentsAlone) {
    EXPECT_EQ(QuoteArgument(L"C:\\Src\\Calc\\Calc.dsp"), L"C:\\Src\\Calc\\Calc.dsp");
    EXPECT_EQ(QuoteArgument(L"C:\\Src\\"), L"C:\\Src\\");
    EXPECT_EQ(QuoteArgument(L"a\\\\b"), L"a\\\\b");
}

TEST(QuoteArgument, FollowsTheCRuntimeRules) {
    EXPECT_EQ(QuoteArgument(L"a b"), L"\"a b\"");
    EXPECT_EQ(QuoteArgument(L"a\tb"), L"\"a\tb\"");
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
    EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArgument(L"C:\\My Src\\"), L"\"C:\\My Src\\\\\"");
    EXPECT_EQ(QuoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
    EXPECT_EQ(QuoteArgumentAlways(L"Calc - Win32 Debug"), L"\"Calc - Win32 Debug\"");
    EXPECT_EQ(QuoteArgumentAlways(L"x\\"), L"\"x\\\\\"");
}

const std::vector<std::wstring>& HostileArguments() {
    static const std::vector<std::wstring> args = {
        L"plain",
        L"C:\\Program Files\\Calc",
        L"trailing backslash\\",
        L"two trailing\\\\",
        L"\"",
        L"\"\"",
        L"a\\\"b",
        L"a\\\\\"b",
        L"tab\there",
        L"name\" /CLEAN /OUT C:\\evil.log \"",
        L"\\\\server\\share folder\\",
        L"",
        L"caf\u00e9 \u00fcber",
    };
    return args;
}

TEST(QuoteArgument, RoundTripThroughCommandLineToArgvW) {
    std::wstring line = L"program.exe";
    for (const std::wstring& arg : HostileArguments()) line += L" " + QuoteArgument(arg);
    std::vector<std::wstring> args = kwtest::SplitCommandLine(line);
    ASSERT_EQ(args.size(), HostileArguments().size() + 1);
    for (size_t i = 0; i < HostileArguments().size(); ++i) EXPECT_EQ(args[i + 1], HostileArguments()[i]) << i;
}

// Runs the argv-echo tool with the given command-line tail and returns what it printed.
std::wstring EchoArguments(const std::wstring& tail) {
    kwtest::Captured echo =
        kwtest::RunCaptured(QuoteArgument(kwtest::BuildTreePath("tools/argv-echo.exe")) + L" " + tail);
    return echo.exitCode < 0 ? L"<not started>" : FromUtf8(echo.out);
}

TEST(QuoteArgument, RoundTripThroughAChildsArgv) {
    std::wstring tail;
    std::wstring expected;
    for (const std::wstring& arg : HostileArguments()) {
        tail += QuoteArgument(arg) + L" ";
        expected += arg + L"\n";
    }
    EXPECT_EQ(EchoArguments(tail), expected);
}

TEST(QuoteArgument, ComposedCommandLineReachesTheChildIntact) {
    BuildCommandInput input;
    input.visualStudioFolder = L"C:\\VS\\Common";
    input.projectName = L"Odd \"Name\"";
    input.sourceFolder = L"C:\\With Blanks\\And\\";
    input.configuration = L"Win32 Debug\" /CLEAN \"";
    input.logPath = L"C:\\Temp Dir\\12.log";
    std::wstring line = ComposeVisualCppCommandLine(input, ActionRelease, true);
    // Everything after the program, as the builder would receive it.
    std::wstring tail = line.substr(line.find(L"\" ") + 2);
    EXPECT_EQ(EchoArguments(tail), L"C:\\With Blanks\\And\\\\Odd \"Name\".dsp\n/MAKE\n"
                                   L"Odd \"Name\" - Win32 Debug\" /CLEAN \"\n/REBUILD\n/OUT\nC:\\Temp Dir\\12.log\n");
}

}  // namespace
}  // namespace kw
