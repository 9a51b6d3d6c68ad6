// kilnworks-cli run PACKAGE ...: one run of the build engine, driven as the main window's Start
// drives it, with the event log printed to standard output line by line.
#include "engine/BuildController.h"
#include "engine/LogLines.h"
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

#include <cstdlib>
#include <utility>
#include <vector>

namespace kw::cli {

namespace {

int Fail(unsigned stringId) {
    Err().WriteLine(LoadResourceString(stringId));
    return 1;
}

}  // namespace

int RunCommand(const Arguments& args) {
    RunOptions options;
    if (!ParseRunOptions(args, options)) {
        PrintUsage();
        return 2;
    }
    std::wstring temporaryFolder;
    if (!ReadTemporaryFolder(temporaryFolder)) return Fail(IDS_NO_TEMP_FOLDER);

    PackageDocument document;
    if (document.OpenPackage(options.package) != 0) return Fail(IDS_ERR_PARSE_PACKAGE);

    std::vector<int> targets = options.targets;
    if (options.allTargets) {
        std::vector<ProjectRow> rows;
        if (unsigned problem = ListProjects(document, rows)) return Fail(problem);
        for (const ProjectRow& row : rows) targets.push_back(row.projectId);
    }
    targets = OrderTargets(targets);
    if (targets.empty()) return Fail(IDS_HINT_NO_PROJECTS);
    targets.push_back(0);

    LogReceiver logReceiver([](HWND, const std::wstring& line) { Out().WriteLine(line); });
    bool finished = false;
    std::pair<LogReceiver*, bool*> state{&logReceiver, &finished};
    MessageOnlyWindow receiverWindow(
        [](void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) -> LRESULT {
            auto* state = static_cast<std::pair<LogReceiver*, bool*>*>(context);
            if (message == WM_LOG_TEXT) {
                state->first->Receive(wParam);
                handled = true;
            } else if (message == WM_RUN_FINISHED) {
                state->first->Flush();
                *state->second = true;
                handled = true;
            }
            return 0;
        },
        &state);
    HWND receiver = receiverWindow.Handle();
    logReceiver.Attach(receiver);
    if (!receiver) {
        Err().WriteLine(L"The event log receiver could not be created.");
        return 1;
    }
    EventLogRef eventLog;
    int started = 0;
    {
        BuildController controller(document, temporaryFolder.c_str());
        controller.ReadVisualStudioLocation();
        controller.SetBuildActions(options.debug, options.release, options.rebuildAll, options.clean);
        controller.SetVersionAction(options.setVersion || options.autoIncrement, options.autoIncrement,
                                    options.version.major, options.version.minor, options.version.build,
                                    options.version.revision);
        started = controller.StartRun(targets.data(), receiver, &eventLog);
    }
    if (started == kStartRefused) {
        Err().WriteLine(LoadResourceString(IDS_NO_ACTION));
        return 2;
    }
    if (started != 0) {
        Err().WriteLine(L"The run could not be started.");
        return 1;
    }

    // The worker reads targets, eventLog and the document until WM_RUN_FINISHED.
    MSG message;
    while (!finished && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

}  // namespace kw::cli
