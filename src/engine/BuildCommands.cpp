#include "engine/BuildCommands.h"

#include <cwchar>

namespace kw {

namespace {

bool NeedsQuotes(std::wstring_view argument) {
    return argument.empty() || argument.find_first_of(L" \t\"") != std::wstring_view::npos;
}

// SourceLocation\Name plus the project file's extension.
std::wstring ProjectFilePath(const BuildCommandInput& input, const wchar_t* extension) {
    std::wstring path(input.sourceFolder);
    path += L'\\';
    path += input.projectName;
    path += extension;
    return path;
}

}  // namespace

std::wstring QuoteArgumentAlways(std::wstring_view argument) {
    std::wstring quoted;
    quoted.reserve(argument.size() + 2);
    quoted += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Backslashes before a quote are doubled, and the quote itself is escaped.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Trailing backslashes stand before the closing quote.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!NeedsQuotes(argument)) return std::wstring(argument);
    return QuoteArgumentAlways(argument);
}

std::wstring LogFilePath(std::wstring_view temporaryFolder, long threadId) {
    std::wstring path(temporaryFolder);
    path += L'\\';
    path += std::to_wstring(threadId);
    path += L".log";
    return path;
}

std::wstring VisualCppProgram(std::wstring_view visualStudioFolder) {
    std::wstring program = L"\"";
    program += visualStudioFolder;
    program += L"\\MSDEV98\\Bin\\MSDEV\"";
    return program;
}

std::wstring VisualBasicProgram(std::wstring_view visualStudioFolder) {
    std::wstring program = L"\"";
    program += visualStudioFolder;
    program += L"\\..\\vb98\\vb6.exe\"";
    return program;
}

std::wstring ComposeVisualCppCommandLine(const BuildCommandInput& input, ActionSet mode, bool rebuildAll) {
    const std::wstring projectFile = ProjectFilePath(input, L".dsp");

    std::wstring line = VisualCppProgram(input.visualStudioFolder);
    line += L' ';
    line += QuoteArgument(projectFile);
    if (mode == ActionClean) {
        line += L" /CLEAN";
    } else {
        std::wstring configuration(input.projectName);
        configuration += L" - ";
        configuration += input.configuration;
        line += L" /MAKE ";
        line += QuoteArgumentAlways(configuration);
        if (rebuildAll) line += L" /REBUILD";
    }
    line += L" /OUT ";
    line += QuoteArgument(input.logPath);
    return line;
}

std::wstring ComposeVisualBasicCommandLine(const BuildCommandInput& input) {
    const std::wstring projectFile = ProjectFilePath(input, L".vbp");

    std::wstring line = VisualBasicProgram(input.visualStudioFolder);
    line += L" /out ";
    line += QuoteArgument(input.logPath);
    line += L" /m ";
    line += QuoteArgument(projectFile);
    line += L" /outdir ";
    line += QuoteArgument(input.sourceFolder);
    return line;
}

}  // namespace kw
