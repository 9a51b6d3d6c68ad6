// kilnworks-cli run PACKAGE ...: one run of the build engine, driven as the main window's Start
// drives it, with the event log printed to standard output line by line. The exit code says what
// the run came to (RunExitCode).
#include "engine/BuildController.h"
#include "engine/HtmlReport.h"
#include "engine/JunitReport.h"
#include "engine/LogReceiver.h"
#include "engine/LogText.h"
#include "engine/MakeRunRecord.h"
#include "engine/RecordFile.h"
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
#include <atomic>
#include <utility>
#include <vector>

namespace kw::cli {

namespace {

int Fail(const std::wstring& message, int exitCode) {
    Err().WriteLine(message);
    return exitCode;
}

// The run a console control event stops; set only while the loop below waits for it.
std::atomic<BuildController*> gStoppable{nullptr};

// Ctrl+C, Ctrl+Break and closing the console stop the run as the window's Stop does. When the
// process is ended anyway, the builders' job object ends the builders with it.
BOOL WINAPI OnConsoleControl(DWORD) {
    if (BuildController* controller = gStoppable.load()) controller->StopRun();
    return TRUE;
}

// Replaces the file in one step; a failure is said on standard error and keeps the old file.
bool WriteRecord(const std::wstring& path, const std::string& bytes) {
    std::wstring problem;
    if (WriteRecordFile(path, bytes, problem) == 0) return true;
    Err().WriteLine(problem);
    return false;
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
    // A record that can't be written is found out before anything is built.
    const std::pair<const wchar_t*, const std::wstring*> records[] = {{L"--junit", &options.junitPath},
                                                                      {L"--report", &options.reportPath}};
    for (const auto& [option, path] : records) {
        if (path->empty() || CanWriteRecordFile(*path, problem)) continue;
        return Fail(L"kilnworks-cli: " + std::wstring(option) + L" " + Quoted(*path) + L" can't be written: " + problem +
                        L".",
                    kExitUsage);
    }
    std::wstring temporaryFolder;
    if (!ReadTemporaryFolder(temporaryFolder)) return Fail(LoadResourceString(IDS_NO_TEMP_FOLDER), kExitUnusable);

    PackageDocument document;
    if (!OpenPackageOrSayWhy(document, options.package)) return kExitUnusable;

    RunChoices choices;
    if (options.allTargets) {
        std::vector<ProjectRow> rows;
        ListProjects(document, rows);
        for (const ProjectRow& row : rows) choices.targets.push_back(row.projectId);
    } else {
        choices.targets = options.targets;
    }
    choices.debug = options.debug;
    choices.release = options.release;
    choices.rebuildAll = options.rebuildAll;
    choices.clean = options.clean;
    choices.version = options.setVersion || options.autoIncrement;
    choices.autoIncrement = options.autoIncrement;
    choices.numbers = options.version;
    choices.builderTimeoutSeconds = options.timeoutSeconds;
    choices.withDependencies = options.withDependencies;
    choices.parallelBuilds = static_cast<int>(options.jobs);
    PreparedRun prepared = SetUpRun(document, choices, ReadRunEnvironment(temporaryFolder));
    if (prepared.refusal != RunRefusal::None) return Fail(prepared.message, prepared.ExitCode());
    // The job holds all the run needs of the package.
    document.ClosePackage();

    LogReceiver logReceiver([](HWND, const std::wstring& line) { Out().WriteLine(EscapeForDisplay(line)); });
    ReceiverState state{&logReceiver, false};
    MessageOnlyWindow receiverWindow(ReceiveRunMessage, &state);
    HWND receiver = receiverWindow.Handle();
    if (!receiver) return Fail(L"The event log receiver could not be created.", kExitUnusable);
    logReceiver.Attach(receiver);

    BuildController controller;
    gStoppable = &controller;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    if (controller.StartRun(std::move(prepared.job), receiver, nullptr) != 0) {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        gStoppable = nullptr;
        return Fail(L"The run could not be started.", kExitUnusable);
    }
    // Until WM_RUN_FINISHED, or until the worker has ended without being able to post it.
    while (!state.finished && !controller.EndedUnannounced()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
        MSG message;
        // The receiver window sets state.finished while a message is dispatched.
        // cppcheck-suppress knownConditionTrueFalse
        while (!state.finished && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    logReceiver.Flush();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    gStoppable = nullptr;
    controller.WaitForEnd(INFINITE);
    int exitCode = controller.Outcome().ExitCode();
    if (!options.junitPath.empty() || !options.reportPath.empty()) {
        const RunRecord record = MakeRunRecord(controller.Job(), controller.Outcome());
        bool written = options.junitPath.empty() || WriteRecord(options.junitPath, JunitXml(record));
        written &= options.reportPath.empty() || WriteRecord(options.reportPath, HtmlReport(record));
        if (!written) exitCode = std::max(exitCode, static_cast<int>(kExitUnusable));
    }
    return exitCode;
}

}  // namespace kw::cli
