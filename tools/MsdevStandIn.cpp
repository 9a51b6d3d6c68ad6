// Stand-in for the Visual C++ 6 IDE in batch mode:
//   MSDEV <project>.dsp /MAKE "<name> - <configuration>" [/REBUILD] /OUT <log>
//   MSDEV <project>.dsp /CLEAN /OUT <log>
// Writes a build log like the IDE's into <log> and makes or deletes <folder>\<Output_Dir>\<name>.exe
// (.dll, .lib by the project's target type). Behaviour can be changed with standin.ini (StandIn.h).
#include "StandIn.h"

#include <string>
#include <vector>

namespace {

using namespace standin;

struct Command {
    std::wstring projectFile;
    std::wstring configuration;  // empty for /CLEAN
    std::wstring logPath;
    bool rebuild = false;
    bool clean = false;
    std::wstring unexpected;  // the first argument that fits no form
};

bool ParseCommand(int argc, wchar_t** argv, Command& command) {
    if (argc < 2) return false;
    command.projectFile = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (EqualsNoCase(arg, L"/MAKE") && i + 1 < argc) {
            command.configuration = argv[++i];
        } else if (EqualsNoCase(arg, L"/REBUILD")) {
            command.rebuild = true;
        } else if (EqualsNoCase(arg, L"/CLEAN")) {
            command.clean = true;
        } else if (EqualsNoCase(arg, L"/OUT") && i + 1 < argc) {
            command.logPath = argv[++i];
        } else if (command.unexpected.empty()) {
            command.unexpected = arg;
        }
    }
    return !command.logPath.empty();
}

// What the project file says about one configuration.
struct Project {
    std::string name;                        // base name of the project file
    std::vector<std::string> configurations; // "<name> - <configuration>"
    std::vector<std::string> sources;        // file names as listed
    std::string extension = ".exe";

    std::string OutputDir(const std::string& configuration, const std::string& text) const {
        // The Output_Dir after the !IF / !ELSEIF for this configuration.
        std::string marker = "\"$(CFG)\" == \"" + configuration + "\"";
        std::vector<std::string> lines = SplitLines(text);
        bool inside = false;
        for (const std::string& line : lines) {
            if (line.rfind("!IF", 0) == 0 || line.rfind("!ELSEIF", 0) == 0) {
                inside = line.find(marker) != std::string::npos;
            } else if (line.rfind("!ENDIF", 0) == 0) {
                inside = false;
            } else if (inside && line.rfind("# PROP Output_Dir \"", 0) == 0) {
                size_t start = line.find('"') + 1;
                size_t end = line.find('"', start);
                if (end != std::string::npos) return line.substr(start, end - start);
            }
        }
        size_t blank = configuration.find_last_of(' ');
        return blank == std::string::npos ? configuration : configuration.substr(blank + 1);
    }
};

Project ReadProject(const std::string& text, const std::string& name) {
    Project project;
    project.name = name;
    for (const std::string& line : SplitLines(text)) {
        if (line.rfind("!MESSAGE \"", 0) == 0) {
            size_t end = line.find('"', 10);
            if (end != std::string::npos) project.configurations.push_back(line.substr(10, end - 10));
        } else if (line.rfind("SOURCE=", 0) == 0) {
            std::string source = line.substr(7);
            if (source.rfind(".\\", 0) == 0) source = source.substr(2);
            project.sources.push_back(source);
        } else if (line.rfind("# TARGTYPE", 0) == 0) {
            if (line.find("Dynamic-Link Library") != std::string::npos) project.extension = ".dll";
            else if (line.find("Static Library") != std::string::npos) project.extension = ".lib";
        }
    }
    return project;
}

bool EndsWith(const std::string& text, const char* suffix) {
    std::string s(suffix);
    if (text.size() < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - s.size() + i])) != s[i]) return false;
    }
    return true;
}

std::string Banner(const std::string& configuration) {
    return "--------------------Configuration: " + configuration + "--------------------";
}

std::string Deleting(const std::string& configuration) {
    return "Deleting intermediate files and output files for project '" + configuration + "'.";
}

int Clean(Log& log, const Timeline& timeline, const Project& project, const std::string& text,
          const std::wstring& folder) {
    timeline.SleepOut();
    for (const std::string& configuration : project.configurations) {
        log.Line(Banner(configuration));
        log.Line(Deleting(configuration));
        DeleteOutput(folder + L"\\" + FromAnsi(project.OutputDir(configuration, text)) + L"\\" +
                     FromAnsi(project.name + project.extension));
    }
    return 0;
}

int Make(Log& log, const Timeline& timeline, const Settings& settings, const Command& command, const Project& project,
         const std::string& text, const std::wstring& folder) {
    std::string configuration = Ansi(command.configuration);
    bool known = false;
    for (const std::string& c : project.configurations) known = known || c == configuration;
    if (!known) {
        log.Line("Error: Project configuration \"" + configuration + "\" not found in " + Ansi(command.projectFile) + ".");
        return settings.ExitCode(true);
    }

    log.Line(Banner(configuration));
    if (command.rebuild) log.Line(Deleting(configuration));
    bool anyRc = false;
    for (const std::string& source : project.sources) anyRc = anyRc || EndsWith(source, ".rc");
    if (anyRc) log.Line("Compiling resources...");
    log.Line("Compiling...");
    std::string firstSource;
    for (const std::string& source : project.sources) {
        if (!EndsWith(source, ".cpp") && !EndsWith(source, ".c")) continue;
        if (firstSource.empty()) firstSource = source;
        log.Line(source);
    }
    log.Flood();
    if (settings.Crashes()) Crash();
    if (settings.hangMs) Sleep(settings.hangMs);
    timeline.SleepOut();

    std::string output = project.name + project.extension;
    std::wstring outputPath = folder + L"\\" + FromAnsi(project.OutputDir(configuration, text)) + L"\\" + FromAnsi(output);
    if (settings.Fails()) {
        log.Line(Ansi(folder) + "\\" + (firstSource.empty() ? project.name + ".cpp" : firstSource) +
                 "(12) : error C2065: 'undeclaredValue' : undeclared identifier");
        log.Line("Error executing cl.exe.");
        log.Line("");
        log.Line(output + " - 1 error(s), 0 warning(s)");
        return settings.ExitCode(true);
    }
    log.Line("Linking...");
    MakeOutput(outputPath);
    log.Line("");
    log.Line(output + " - 0 error(s), 0 warning(s)");
    return settings.ExitCode(false);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (RunAsSleeper(argc, argv)) return 0;
    Command command;
    if (!ParseCommand(argc, argv, command)) return 2;
    std::wstring folder = FolderOf(command.projectFile);
    Settings settings = ReadSettings(folder);
    WriteJournal(settings, folder);
    Timeline timeline(settings, folder, command.projectFile);

    int exitCode = 0;
    if (RunExactBytes(command.logPath, settings, folder, exitCode)) return exitCode;

    Log log(command.logPath, settings, folder);
    if (!log.Ok()) return 2;
    if (!command.unexpected.empty()) {
        log.Line("Error: unexpected argument '" + Ansi(command.unexpected) + "'.");
        return 2;
    }
    std::string text;
    if (!ReadFileBytes(command.projectFile, text)) {
        log.Line("Error: the project file '" + Ansi(command.projectFile) + "' could not be opened.");
        return settings.ExitCode(true);
    }
    std::wstring fileName = NameOf(command.projectFile);
    size_t dot = fileName.find_last_of(L'.');
    Project project = ReadProject(text, Ansi(fileName.substr(0, dot)));
    if (command.clean) return Clean(log, timeline, project, text, folder);
    return Make(log, timeline, settings, command, project, text, folder);
}
