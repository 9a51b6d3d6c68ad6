// kilnworks-cli run PACKAGE ...: one run of the build engine, driven as the main window's Start
// drives it, with the event log printed to standard output line by line. The exit code says what
// the run came to (RunExitCode).
#include "engine/BuildController.h"
#include "engine/LogReceiver.h"
#include "engine/LogText.h"
#include "engine/RunSetup.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/RunOptions.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Controls.h"
#include "win/Text.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kw::cli {

namespace {

int Fail(const std::wstring& message, int exitCode) {
    Err().WriteLine(message);
    return exitCode;
}

// Ctrl+C, Ctrl+Break and closing the console stop the run as the window's Stop does. When the
// process is ended anyway, the builders' job objects end the builders with it.
BOOL WINAPI OnConsoleControl(DWORD) {
    BuildController::StopRun();
    return TRUE;
}

struct ReceiverState {
    LogReceiver* receiver;
    bool finished;
};

LRESULT ReceiveRunMessage(void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) {
    auto* state = static_cast<ReceiverState*>(context);
    if (message == WM_LOG_TEXT) {
        state->receiver->Receive(wParam);
        handled = true;
    } else if (message == WM_RUN_FINISHED) {
        state->receiver->Flush();
        state->finished = true;
        handled = true;
    }
    return 0;
}

}  // namespace

int RunCommand(const Arguments& args) {
    RunOptions options;
    std::wstring problem;
    switch (ParseRunOptions(args, options, problem)) {
        case ParseResult::HelpAsked: PrintUsage(true); return kExitSucceeded;
        case ParseResult::Refused: return Fail(problem, kExitUsage);
        case ParseResult::Parsed: break;
    }
    std::wstring temporaryFolder;
    if (!ReadTemporaryFolder(temporaryFolder)) return Fail(LoadResourceString(IDS_NO_TEMP_FOLDER), kExitUnusable);
    if (std::wstring problem = CheckTemporaryFolder(temporaryFolder); !problem.empty()) {
        return Fail(problem, kExitUnusable);
    }

    PackageDocument document;
    if (!OpenPackageOrSayWhy(document, options.package)) return kExitUnusable;

    std::vector<ProjectRow> rows;
    bool complete = true;
    if (unsigned problem = ListProjects(document, rows, complete)) {
        return Fail(LoadResourceString(problem), kExitUnusable);
    }
    std::vector<UnusableProject> unusable;
    std::vector<int> usable = UsableTargets(rows, unusable);
    std::vector<int> targets;
    if (options.allTargets) {
        targets = usable;
    } else {
        // Only what the package lists can be a target.
        for (int id : options.targets) {
            if (std::find(usable.begin(), usable.end(), id) == usable.end()) {
                return Fail(L"Unknown target: " + std::to_wstring(id), kExitUsage);
            }
        }
        targets = options.targets;
        unusable.clear();
    }
    targets = OrderTargets(targets);

    LogReceiver logReceiver([](HWND, const std::wstring& line) { Out().WriteLine(EscapeForDisplay(line)); });
    ReceiverState state{&logReceiver, false};
    MessageOnlyWindow receiverWindow(ReceiveRunMessage, &state);
    HWND receiver = receiverWindow.Handle();
    if (!receiver) return Fail(L"The event log receiver could not be created.", kExitUnusable);
    logReceiver.Attach(receiver);

    EventLogRef eventLog;
    targets.push_back(0);
    int started = 0;
    {
        BuildController controller(document, temporaryFolder.c_str());
        controller.ReadVisualStudioLocation();
        controller.SetBuildActions(options.debug, options.release, options.rebuildAll, options.clean);
        controller.SetVersionAction(options.setVersion || options.autoIncrement, options.autoIncrement,
                                    options.version.major, options.version.minor, options.version.build,
                                    options.version.revision);
        controller.SetBuilderTimeout(options.timeoutSeconds);
        // Nothing is left out silently: each project the run can't reach is named and counted.
        for (const UnusableProject& project : unusable) {
            Out().WriteLine(EscapeForDisplay(L"Project '" + project.row.name + L"' has no usable ProjectID (" +
                                             project.reason + L"); it is not run."));
            controller.AddNotRunTarget(project.row.projectId, project.row.name, L"no usable ProjectID");
        }
        if (options.allTargets && !complete) {
            Out().WriteLine(L"The package's project list ends early at a project without a Name, Compiler or "
                            L"ProjectID; the projects from there on are not run.");
            controller.AddNotRunTarget(0, L"The rest of the package", L"its project list ends early");
        }
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
        started = controller.StartRun(targets.data(), receiver, &eventLog);
    }
    if (started == kStartRefused) {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        return Fail(LoadResourceString(IDS_NO_ACTION), kExitUsage);
    }
    if (started != 0) {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        return Fail(L"The run could not be started.", kExitUnusable);
    }

    // The worker reads targets, eventLog and the document until WM_RUN_FINISHED.
    MSG message;
    while (!state.finished && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    return BuildController::LastOutcome().ExitCode();
}

}  // namespace kw::cli
