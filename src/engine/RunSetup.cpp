#include "engine/RunSetup.h"

#include "engine/BuildCommands.h"
#include "package/PackageDocument.h"
#include "win/AtomicFile.h"
#include "resource.h"
#include "win/Text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <set>
#include <cstdlib>

namespace kw {

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
    ProjectHandle handle;
    int result = document.StartProjectEnumeration(handle);
    if (result == -1) return IDS_HINT_NO_PROJECTS;
    if (result != 0) return IDS_ERR_ENUMERATION;
    while (result == 0) {
        ProjectRow row;
        if (document.GetProjectSummary(handle, row.projectId, row.name, row.kind) != 0 ||
            document.GetProjectIdText(handle, row.idText) != 0) {
            complete = false;
            break;
        }
        rows.push_back(std::move(row));
        result = document.NextProject(handle);
    }
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

std::uint32_t ReadVersionNumber(const std::wstring& text) {
    // The window converts the field to its 8-bit code page in a 20-byte buffer before reading it.
    std::string bytes = ToAnsi(text);
    if (bytes.size() > 19) bytes.resize(19);
    // strtol saturates at the 32-bit limits where atoi's overflow is undefined.
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::strtol(bytes.c_str(), nullptr, 10)));
}

}  // namespace kw
