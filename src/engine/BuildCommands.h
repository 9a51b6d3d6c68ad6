// Command lines of the two builders: the Visual C++ 6 IDE in batch mode and the Visual Basic 6
// compiler. Pure text rules; running them is the ProcessRunner's business.
#pragma once

#include "version/RunValues.h"

#include <string>
#include <string_view>

namespace kw {

// One argument as the Microsoft C runtime (and CommandLineToArgvW) will read it back: returned as
// it is unless it holds a blank, a tab or a double quote or is empty; then it is enclosed in
// double quotes, each double quote inside is escaped with a backslash and the backslashes that
// precede a double quote (or the closing one) are doubled.
std::wstring QuoteArgument(std::wstring_view argument);

// The same, but always enclosed in double quotes (the configuration argument of the IDE).
std::wstring QuoteArgumentAlways(std::wstring_view argument);

// "<temporary folder>\<thread id>.log", the thread id as a signed decimal.
std::wstring LogFilePath(std::wstring_view temporaryFolder, long threadId);

// The quoted builder programs inside a Visual Studio common folder.
std::wstring VisualCppProgram(std::wstring_view visualStudioFolder);    // "...\MSDEV98\Bin\MSDEV"
std::wstring VisualBasicProgram(std::wstring_view visualStudioFolder);  // "...\..\vb98\vb6.exe"

// What one builder run is about.
struct BuildCommandInput {
    std::wstring_view visualStudioFolder;
    std::wstring_view projectName;
    std::wstring_view sourceFolder;
    std::wstring_view configuration;  // IDE make only
    std::wstring_view logPath;
};

// The IDE's command line. mode is ActionDebug or ActionRelease (make the configuration, with
// /REBUILD when rebuildAll) or ActionClean (no configuration, rebuildAll has no effect).
std::wstring ComposeVisualCppCommandLine(const BuildCommandInput& input, ActionSet mode, bool rebuildAll);

// The BASIC compiler's command line: make <folder>\<name>.vbp, log into logPath, output into
// the source folder.
std::wstring ComposeVisualBasicCommandLine(const BuildCommandInput& input);

}  // namespace kw
