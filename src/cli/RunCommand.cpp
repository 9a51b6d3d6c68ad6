// kilnworks-cli run PACKAGE ...: one run of the build engine, driven as the main window's Start
// drives it, with the event log printed to standard output line by line.
#include "build/BuildController.h"
#include "build/LogLines.h"
#include "build/LogText.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/RunOptions.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Text.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace kw::cli {

namespace {

constexpr wchar_t kReceiverClass[] = L"KilnworksRunReceiver";

// Receives the run's messages on a message-only window and prints every line as the event log
// would show it.
LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LOG_TEXT) {
        auto* logText = reinterpret_cast<LogText*>(wParam);
        for (const std::wstring& line : LogTextLines(logText)) Out().WriteLine(line);
        FreeLogText(logText);
        return 0;
    }
    if (message == WM_RUN_FINISHED) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateReceiver() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ReceiverProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kReceiverClass;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

int Fail(unsigned stringId) {
    Err().WriteLine(LoadResourceString(stringId));
    return 1;
}

// TEMP, else TMP; an empty value counts as set.
bool ReadTemporaryFolder(std::wstring& folder) {
    for (const wchar_t* name : {L"TEMP", L"TMP"}) {
        DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
        if (needed == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) continue;
        std::vector<wchar_t> buffer(needed + 1);
        DWORD got = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        folder.assign(buffer.data(), got);
        return true;
    }
    return false;
}

// Every project of the package, as the package list shows them. 0, or the string to show.
unsigned ListAllTargets(PackageDocument& document, std::vector<int>& targets) {
    std::wstring name, major, minor, build, revision;
    if (document.GetPackageInfo(name, major, minor, build, revision) < 0) return IDS_ERR_GETPACKAGEINFO;
    ProjectHandle handle;
    int result = document.StartProjectEnumeration(handle);
    if (result == -1) return IDS_HINT_NO_PROJECTS;
    if (result != 0) return IDS_ERR_ENUMERATION;
    while (result == 0) {
        int projectId = 0;
        std::wstring projectName;
        CompilerKind kind = CompilerUnknown;
        if (document.GetProjectSummary(handle, projectId, projectName, kind) != 0) break;
        targets.push_back(projectId);
        result = document.NextProject(handle);
    }
    return 0;
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
        if (unsigned problem = ListAllTargets(document, targets)) return Fail(problem);
    }
    targets = OrderTargets(targets);
    if (targets.empty()) return Fail(IDS_HINT_NO_PROJECTS);
    targets.push_back(0);

    HWND receiver = CreateReceiver();
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
        DestroyWindow(receiver);
        Err().WriteLine(LoadResourceString(IDS_NO_ACTION));
        return 2;
    }
    if (started != 0) {
        DestroyWindow(receiver);
        Err().WriteLine(L"The run could not be started.");
        return 1;
    }

    // The worker reads targets, eventLog and the document until WM_RUN_FINISHED.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(receiver);
    return 0;
}

}  // namespace kw::cli
