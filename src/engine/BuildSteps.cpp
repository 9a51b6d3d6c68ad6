#include "engine/BuildSteps.h"

#include "engine/BuildCommands.h"
#include "engine/LogText.h"
#include "engine/ProcessRunner.h"
#include "engine/RunControl.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

namespace kw {

namespace {

std::wstring CurrentLogPath() {
    const wchar_t* folder = TheRunSettings().temporaryFolder;
    return LogFilePath(folder ? folder : L"", static_cast<long>(GetCurrentThreadId()));
}

// Whatever the package gives; a project it can't find or read partly leaves fields empty.
ProjectRecord ReadTarget(int projectId) {
    ProjectRecord record;
    if (PackageDocument* document = TheRunSettings().document) document->GetProjectSettings(projectId, record);
    return record;
}

}  // namespace

int BuildVisualCppProjects(const int* targets, HWND window, HWND listBox, ActionSet mode) {
    if (!targets) return 0;
    for (const int* target = targets; *target != 0 && !RunStopRequested(); ++target) {
        std::wstring logPath = CurrentLogPath();
        ProjectRecord record = ReadTarget(*target);
        if (record.compilerKind != CompilerVC6) continue;

        const RunSettings& settings = TheRunSettings();
        BuildCommandInput input;
        input.visualStudioFolder = settings.VisualStudioFolder;
        input.projectName = record.name;
        input.sourceFolder = record.sourceLocation;
        input.configuration = mode == ActionRelease ? record.releaseConfig : record.debugConfig;
        input.logPath = logPath;
        bool rebuildAll = (settings.actions & ActionRebuildAll) != 0;
        BuilderResult result = RunBuilder(ComposeVisualCppCommandLine(input, mode, rebuildAll), record.sourceLocation,
                                          logPath, window, listBox);
        std::wstring what = mode == ActionClean ? std::wstring(L"clean") : std::wstring(input.configuration);
        TheRunOutcome().Target(*target, record.name).steps.push_back(JudgeBuilder(result, what, L"IDE"));
    }
    return 0;
}

int BuildVisualBasicProjects(const int* targets, HWND window, HWND listBox) {
    if (!targets) return 0;
    for (const int* target = targets; *target != 0 && !RunStopRequested(); ++target) {
        std::wstring logPath = CurrentLogPath();
        ProjectRecord record = ReadTarget(*target);
        // Checked before the kind: an unnamed or folderless project of any kind ends the step.
        if (record.name.empty() || record.sourceLocation.empty()) {
            std::wstring name = record.name.empty() ? L"Project " + std::to_wstring(*target) : record.name;
            PostLogLine(name + L" has no name or source folder; the Visual Basic builds end here.", window, listBox);
            StepOutcome failed{StepOutcome::Failed, L"", L"no name or source folder"};
            TheRunOutcome().Target(*target, record.name).steps.push_back(failed);
            // Say so for every Visual Basic project the step leaves out.
            for (const int* rest = target + 1; *rest != 0; ++rest) {
                ProjectRecord other = ReadTarget(*rest);
                if (other.compilerKind != CompilerVB6) continue;
                StepOutcome notRun{StepOutcome::NotRun, L"", L"not built: the Visual Basic builds ended early"};
                TheRunOutcome().Target(*rest, other.name).steps.push_back(notRun);
            }
            return -1;
        }
        if (record.compilerKind != CompilerVB6) continue;

        BuildCommandInput input;
        input.visualStudioFolder = TheRunSettings().VisualStudioFolder;
        input.projectName = record.name;
        input.sourceFolder = record.sourceLocation;
        input.logPath = logPath;
        std::wstring commandLine = ComposeVisualBasicCommandLine(input);
        PostLogLine(L"Building " + record.name + L" ...", window, listBox);
        BuilderResult result = RunBuilder(std::move(commandLine), record.sourceLocation, logPath, window, listBox);
        TheRunOutcome().Target(*target, record.name).steps.push_back(JudgeBuilder(result, L"", L"compiler"));
    }
    return 0;
}

}  // namespace kw
