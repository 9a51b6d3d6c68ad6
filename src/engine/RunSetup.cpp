#include "engine/RunSetup.h"

#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Text.h"

#include <windows.h>

#include <algorithm>
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

unsigned ListProjects(PackageDocument& document, std::vector<ProjectRow>& rows) {
    rows.clear();
    std::wstring name, major, minor, build, revision;
    if (document.GetPackageInfo(name, major, minor, build, revision) != 0) return IDS_ERR_GETPACKAGEINFO;
    ProjectHandle handle;
    int result = document.StartProjectEnumeration(handle);
    if (result == -1) return IDS_HINT_NO_PROJECTS;
    if (result != 0) return IDS_ERR_ENUMERATION;
    while (result == 0) {
        ProjectRow row;
        if (document.GetProjectSummary(handle, row.projectId, row.name, row.kind) != 0) break;
        rows.push_back(std::move(row));
        result = document.NextProject(handle);
    }
    return 0;
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
