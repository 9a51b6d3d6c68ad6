// The builders' command lines, character for character, and the quoting that keeps every
// argument whole.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
#include "engine/BuildCommands.h"
#include "win/Text.h"

namespace kw {
namespace {

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
    // Quotes only where needed, unless asked for.
    EXPECT_EQ(QuoteArgument(L"C:\\Src\\"), L"C:\\Src\\");
    EXPECT_EQ(QuoteArgumentAlways(L"x\\"), L"\"x\\\\\"");
}

}  // namespace
}  // namespace kw
