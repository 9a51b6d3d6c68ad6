// Stand-in for the Visual Basic 6 compiler:
//   vb6.exe /out <log> /m <folder>\<name>.vbp /outdir <output folder>
// (/make for /m, switches in any order and case). Writes "Build of '<output>' succeeded." or a
// compile error and "Build of '<output>' failed." into <log>, and makes <output folder>\<ExeName32>.
// Behaviour can be changed with standin.ini in the project's folder (StandIn.h).
#include "StandIn.h"

#include <string>

namespace {

using namespace standin;

struct Command {
    std::wstring logPath;
    std::wstring projectFile;
    std::wstring outputFolder;
    std::wstring unexpected;
};

bool ParseCommand(int argc, wchar_t** argv, Command& command) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (EqualsNoCase(arg, L"/out") && hasValue) {
            command.logPath = argv[++i];
        } else if ((EqualsNoCase(arg, L"/m") || EqualsNoCase(arg, L"/make")) && hasValue) {
            command.projectFile = argv[++i];
        } else if (EqualsNoCase(arg, L"/outdir") && hasValue) {
            command.outputFolder = argv[++i];
        } else if (command.unexpected.empty()) {
            command.unexpected = arg;
        }
    }
    return !command.logPath.empty();
}

std::string Unquote(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

struct Project {
    std::string exeName;
    std::string firstSource;  // the first form, module or class, for the compile error
};

Project ReadProject(const std::string& text, const std::string& name) {
    Project project;
    std::string type = "Exe";
    for (const std::string& line : SplitLines(text)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "ExeName32") project.exeName = Unquote(value);
        else if (key == "Type") type = value;
        else if ((key == "Form" || key == "Module" || key == "Class") && project.firstSource.empty()) {
            // Module=Name; file.bas
            size_t semicolon = value.find(';');
            std::string file = semicolon == std::string::npos ? value : value.substr(semicolon + 1);
            size_t first = file.find_first_not_of(' ');
            project.firstSource = first == std::string::npos ? file : file.substr(first);
        }
    }
    if (project.exeName.empty()) project.exeName = name + (type == "OleDll" ? ".dll" : type == "Control" ? ".ocx" : ".exe");
    return project;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (RunAsSleeper(argc, argv)) return 0;
    Command command;
    if (!ParseCommand(argc, argv, command)) return 2;
    std::wstring folder = command.projectFile.empty() ? L"." : FolderOf(command.projectFile);
    Settings settings = ReadSettings(folder);
    WriteJournal(settings, folder);
    Timeline timeline(settings, folder, command.projectFile);

    int exitCode = 0;
    if (RunExactBytes(command.logPath, settings, folder, exitCode)) return exitCode;

    Log log(command.logPath, settings, folder);
    if (!log.Ok()) return 2;
    if (!command.unexpected.empty() || command.projectFile.empty()) {
        log.Line("Error: unexpected argument '" + Ansi(command.unexpected) + "'.");
        return 2;
    }
    std::string text;
    if (!ReadFileBytes(command.projectFile, text)) {
        log.Line("Error: the project file '" + Ansi(command.projectFile) + "' could not be opened.");
        return settings.ExitCode(true);
    }
    std::wstring fileName = NameOf(command.projectFile);
    Project project = ReadProject(text, Ansi(fileName.substr(0, fileName.find_last_of(L'.'))));
    std::wstring outputFolder = command.outputFolder.empty() ? folder : command.outputFolder;
    std::string output = Ansi(outputFolder) + "\\" + project.exeName;

    log.Flood();
    if (settings.Crashes()) Crash();
    if (settings.hangMs) Sleep(settings.hangMs);
    timeline.SleepOut();
    if (settings.Fails()) {
        std::string source = project.firstSource.empty() ? Ansi(fileName) : project.firstSource;
        log.Line("Compile Error in File '" + Ansi(folder) + "\\" + source + "', Line 12 : Variable not defined");
        log.Line("Build of '" + output + "' failed.");
        return settings.ExitCode(true);
    }
    MakeOutput(outputFolder + L"\\" + FromAnsi(project.exeName));
    log.Line("Build of '" + output + "' succeeded.");
    return settings.ExitCode(false);
}
