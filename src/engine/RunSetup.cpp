#include "engine/RunSetup.h"

#include "engine/BuildCommands.h"
#include "engine/RunOutcome.h"
#include "engine/TargetOrder.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/AtomicFile.h"
#include "win/Handles.h"
#include "win/Registry.h"
#include "win/Text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <set>

namespace kw {

namespace {

// No file name holds a control character, and a builder echoes its project's name and path into
// its log, where a line break would become a line of the builder's own.
bool HoldsControlCharacter(const ProjectRecord& record, const std::wstring& resourceFile) {
    for (const std::wstring* text : {&record.name, &record.sourceLocation, &record.debugConfig, &record.releaseConfig,
                                     &resourceFile}) {
        for (wchar_t c : *text)
            if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

}  // namespace

bool ReadTemporaryFolder(std::wstring& folder) {
    for (const wchar_t* name : {L"TEMP", L"TMP"}) {
        SetLastError(0);
        DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
        if (needed == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) continue;
        std::vector<wchar_t> buffer(needed + 1);
        DWORD got = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        folder.assign(buffer.data(), got < buffer.size() ? got : 0);
        return true;
    }
    return false;
}

std::wstring CheckTemporaryFolder(const std::wstring& folder) {
    auto refuse = [&folder](const std::wstring& reason) {
        return L"The folder for temporary files " + folder + L" can't be used: " + reason + L".";
    };
    if (folder.empty()) return refuse(L"no folder is named");
    // Room for the longest log name the run makes: "\-2147483648.log-2".
    const size_t longest = LogFilePath(folder, LONG_MIN).size() + 2;
    if (longest >= MAX_PATH) return refuse(L"its path is too long for the builders' log files");
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return refuse(L"it does not exist");
        return refuse(DescribeWin32Error(error));
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return refuse(L"it is a file, not a folder");
    // The only sure test of writing is to write.
    const bool separated = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
    std::wstring probe = folder + (separated ? L"" : L"\\") + L"kw" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(GetTickCount()) + L".probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS) return refuse(L"no file can be created in it (" + DescribeWin32Error(error) + L")");
    } else {
        CloseHandle(file);
    }
    return {};
}

unsigned ListProjects(PackageDocument& document, std::vector<ProjectRow>& rows) {
    bool complete = true;
    return ListProjects(document, rows, complete);
}

unsigned ListProjects(PackageDocument& document, std::vector<ProjectRow>& rows, bool& complete) {
    complete = true;
    rows.clear();
    std::wstring name, major, minor, build, revision;
    if (document.GetPackageInfo(name, major, minor, build, revision) != 0) return IDS_ERR_GETPACKAGEINFO;
    int result = document.ListProjectRows(rows, complete);
    if (result == -1) return IDS_HINT_NO_PROJECTS;
    if (result != 0) return IDS_ERR_ENUMERATION;
    return 0;
}

std::vector<int> UsableTargets(const std::vector<ProjectRow>& rows, std::vector<UnusableProject>& unusable) {
    std::vector<int> targets;
    std::set<int> seen;
    unusable.clear();
    for (const ProjectRow& row : rows) {
        const int id = row.projectId;
        if (id == 0 || row.idText != std::to_wstring(id)) {
            unusable.push_back({row, row.idText});
        } else if (!seen.insert(id).second) {
            unusable.push_back({row, row.idText + L", as an earlier project's"});
        } else {
            targets.push_back(id);
        }
    }
    return targets;
}

std::vector<int> OrderTargets(std::vector<int> targets) {
    // A project whose ProjectID reads as 0 can't be a target: 0 would end the list there, and
    // every project after it would silently be left out of the run.
    targets.erase(std::remove(targets.begin(), targets.end(), 0), targets.end());
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    return targets;
}

RunEnvironment ReadRunEnvironment(const std::wstring& temporaryFolder) {
    RunEnvironment environment;
    environment.temporaryFolder = temporaryFolder;
    const std::wstring where = L"The Visual Studio folder in the registry (" + std::wstring(kVisualStudioFolderValue) + L")";
    std::wstring folder;
    switch (ReadRegistryText(HKEY_LOCAL_MACHINE, kVisualStudioSetupKey, kVisualStudioFolderValue, folder)) {
    case RegistryText::Missing: return environment;
    case RegistryText::NotText:
        environment.visualStudioProblem = where + L" is not a text value; it is not used.";
        return environment;
    case RegistryText::Read: break;
    }
    if (folder.size() >= static_cast<size_t>(kVisualStudioFolderChars)) {
        environment.visualStudioProblem =
            where + FormatW(L" is %u characters long, more than %d; it is not used.",
                            static_cast<unsigned>(folder.size()), kVisualStudioFolderChars - 1);
        return environment;
    }
    environment.visualStudioFolder = folder;
    return environment;
}

int PreparedRun::ExitCode() const {
    switch (refusal) {
    case RunRefusal::None: return kExitSucceeded;
    case RunRefusal::Unusable:
    case RunRefusal::Dependencies: return kExitUnusable;
    default: return kExitUsage;
    }
}

PreparedRun SetUpRun(PackageDocument& document, const RunChoices& choices, const RunEnvironment& environment) {
    PreparedRun prepared;
    auto refuse = [&prepared](RunRefusal refusal, std::wstring message) {
        prepared.refusal = refusal;
        prepared.message = std::move(message);
        prepared.job = RunJob{};
        return prepared;
    };
    if (std::wstring problem = CheckTemporaryFolder(environment.temporaryFolder); !problem.empty()) {
        return refuse(RunRefusal::Unusable, problem);
    }
    std::vector<ProjectRow> rows;
    bool complete = true;
    if (unsigned problem = ListProjects(document, rows, complete)) {
        return refuse(RunRefusal::Unusable, LoadResourceString(problem));
    }

    // Only what the package lists can be a target.
    for (int id : std::set<int>(choices.targets.begin(), choices.targets.end())) {
        auto listed = [id](const ProjectRow& row) { return row.projectId == id; };
        if (std::none_of(rows.begin(), rows.end(), listed)) {
            return refuse(RunRefusal::UnknownTarget, L"Unknown target: " + std::to_wstring(id));
        }
    }
    // Before anything is stamped or started: a run in a wrong order would be worse than none.
    std::vector<ProjectDependencies> declared;
    if (document.GetDependencies(declared) != 0) {
        return refuse(RunRefusal::Unusable, LoadResourceString(IDS_ERR_ENUMERATION));
    }
    DependencyGraph graph;
    if (std::wstring problem = CheckDependencies(declared, graph); !problem.empty()) {
        return refuse(RunRefusal::Dependencies, problem);
    }
    const std::set<int> chosen = [&] {
        if (!choices.withDependencies) return std::set<int>(choices.targets.begin(), choices.targets.end());
        std::vector<int> all = WithDependencies(choices.targets, graph);
        return std::set<int>(all.begin(), all.end());
    }();
    RunJob& job = prepared.job;
    if (choices.debug) job.actions |= ActionDebug;
    if (choices.release) job.actions |= ActionRelease;
    if (choices.rebuildAll) job.actions |= ActionRebuildAll;
    if (choices.clean) job.actions |= ActionClean;
    if (choices.version) {
        job.actions |= choices.autoIncrement ? ActionAutoIncrement : ActionSetVersion;
        job.version = choices.numbers;
    }
    if (!job.HasSomethingToDo()) return refuse(RunRefusal::NothingToDo, LoadResourceString(IDS_NO_ACTION));

    // Nothing is left out silently: each chosen project the run can't reach is named and counted.
    std::vector<UnusableProject> unusable;
    std::vector<int> usable = UsableTargets(rows, unusable);
    for (const UnusableProject& project : unusable) {
        if (!chosen.count(project.row.projectId)) continue;
        job.setupLines.push_back(L"Project '" + project.row.name + L"' has no usable ProjectID (" + project.reason +
                                 L"); it is not run.");
        TargetOutcome notRun;
        notRun.projectId = project.row.projectId;
        notRun.name = project.row.name;
        notRun.notRunReason = L"no usable ProjectID";
        job.notRun.push_back(std::move(notRun));
    }
    const bool everyListed =
        std::all_of(rows.begin(), rows.end(), [&chosen](const ProjectRow& row) { return chosen.count(row.projectId); });
    if (!complete && everyListed) {
        job.setupLines.push_back(L"The package's project list ends early at a project without a Name, Compiler or "
                                 L"ProjectID; the projects from there on are not run.");
        TargetOutcome rest;
        rest.name = L"The rest of the package";
        rest.notRunReason = L"its project list ends early";
        job.notRun.push_back(std::move(rest));
    }

    std::vector<int> targets;
    for (int id : OrderTargets(usable)) {
        if (!chosen.count(id)) continue;
        ProjectRecord record;
        CompilerKind kind = CompilerUnknown;
        std::wstring resourceFile;
        document.GetProjectSettings(id, record);
        document.GetProjectResourceFile(id, kind, resourceFile);
        if (HoldsControlCharacter(record, resourceFile)) {
            job.setupLines.push_back(L"Project '" + record.name + L"' has a control character in its name, folder, "
                                     L"configurations or resource file; it is not run.");
            TargetOutcome notRun;
            notRun.projectId = id;
            notRun.name = record.name;
            notRun.notRunReason = L"a control character in its settings";
            job.notRun.push_back(std::move(notRun));
            continue;
        }
        targets.push_back(id);
    }
    for (const MissingDependency& missing : MissingDependencies(targets, graph)) {
        job.setupLines.push_back(MissingDependencyText(missing, graph));
    }

    // The settings as they are now; the run never reads the package again.
    const std::set<int> targetSet(targets.begin(), targets.end());
    for (int id : OrderByDependencies(targets, graph)) {
        RunTarget target;
        target.projectId = id;
        target.dependencies = TargetsWaitedFor(id, targetSet, graph);
        document.GetProjectSettings(id, target.record);
        document.GetProjectResourceFile(id, target.resourceKind, target.resourceFile);
        job.targets.push_back(std::move(target));
    }
    std::wstring major, minor, build, revision;
    document.GetPackageInfo(job.packageName, major, minor, build, revision);
    job.packagePath = document.Path();
    job.visualStudioFolder = environment.visualStudioFolder;
    job.visualStudioProblem = environment.visualStudioProblem;
    job.temporaryFolder = environment.temporaryFolder;
    job.builderTimeoutSeconds = choices.builderTimeoutSeconds;
    job.parallelBuilds = std::clamp(choices.parallelBuilds, 1, kMaxParallelBuilds);
    return prepared;
}

}  // namespace kw
