// The builders' command lines, character for character, and the quoting that keeps every
// argument whole.
#include <gtest/gtest.h>

#include "engine/BuildCommands.h"
#include "common/RunSupport.h"
#include "win/Text.h"

namespace kw {
namespace {

BuildCommandInput Input(const wchar_t* name, const wchar_t* configuration = L"Win32 Debug",
                        const wchar_t* folder = L"C:\\VS\\Common") {
    BuildCommandInput input;
    input.visualStudioFolder = folder;
    input.projectName = name;
    input.sourceFolder = name[0] == L'C' ? L"C:\\Src\\Calc" : L"C:\\Src\\Tool";
    input.configuration = configuration;
    input.logPath = L"C:\\TEMP\\1412.log";
    return input;
}

TEST(BuildCommandLine, EachFormCharacterForCharacter) {
    const std::wstring ide = L"\"C:\\VS\\Common\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp ";
    const std::wstring out = L" /OUT C:\\TEMP\\1412.log";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {ComposeVisualCppCommandLine(Input(L"Calc"), ActionDebug, false), ide + L"/MAKE \"Calc - Win32 Debug\"" + out},
        {ComposeVisualCppCommandLine(Input(L"Calc"), ActionDebug, true),
         ide + L"/MAKE \"Calc - Win32 Debug\" /REBUILD" + out},
        {ComposeVisualCppCommandLine(Input(L"Calc", L"Win32 Release"), ActionRelease, true),
         ide + L"/MAKE \"Calc - Win32 Release\" /REBUILD" + out},
        {ComposeVisualCppCommandLine(Input(L"Calc"), ActionClean, true), ide + L"/CLEAN" + out},
        {ComposeVisualBasicCommandLine(Input(L"Tool")),
         L"\"C:\\VS\\Common\\..\\vb98\\vb6.exe\" /out C:\\TEMP\\1412.log /m C:\\Src\\Tool\\Tool.vbp /outdir C:\\Src\\Tool"},
        {ComposeVisualCppCommandLine(Input(L"Calc", L"Win32 Debug", L"<not installed>"), ActionDebug, false),
         L"\"<not installed>\\MSDEV98\\Bin\\MSDEV\" C:\\Src\\Calc\\Calc.dsp /MAKE \"Calc - Win32 Debug\"" + out},
        {ComposeVisualBasicCommandLine(Input(L"Tool", L"", L"<not installed>")),
         L"\"<not installed>\\..\\vb98\\vb6.exe\" /out C:\\TEMP\\1412.log /m C:\\Src\\Tool\\Tool.vbp /outdir C:\\Src\\Tool"},
        {LogFilePath(L"C:\\TEMP", -7), L"C:\\TEMP\\-7.log"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(line, expected);
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
    input.projectName = L"Tool";
    input.sourceFolder = L"C:\\My Src\\Tool\\";
    std::vector<std::wstring> args = kwtest::SplitCommandLine(ComposeVisualBasicCommandLine(input));
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[2], L"C:\\Temp Files\\1412.log");
    EXPECT_EQ(args[4], L"C:\\My Src\\Tool\\\\Tool.vbp");
    EXPECT_EQ(args[6], L"C:\\My Src\\Tool\\");
}

TEST(QuoteArgument, FollowsTheCRuntimeRules) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {QuoteArgument(L"C:\\Src\\Calc\\Calc.dsp"), L"C:\\Src\\Calc\\Calc.dsp"},
        {QuoteArgument(L"C:\\Src\\"), L"C:\\Src\\"},
        {QuoteArgument(L"a b"), L"\"a b\""},
        {QuoteArgument(L"a\tb"), L"\"a\tb\""},
        {QuoteArgument(L""), L"\"\""},
        {QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\""},
        {QuoteArgument(L"C:\\My Src\\"), L"\"C:\\My Src\\\\\""},
        {QuoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\""},
        {QuoteArgumentAlways(L"x\\"), L"\"x\\\\\""},
    };
    for (const auto& [quoted, expected] : cases) EXPECT_EQ(quoted, expected);
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
