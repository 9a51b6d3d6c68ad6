#include "app/RecentPackages.h"

#include "win/Handles.h"

#include <utility>

namespace kw {

namespace {

constexpr wchar_t kSection[] = L"Recent";

bool EqualIgnoringCase(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// Volume and file number of an existing file, to recognise it under any name.
bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    FileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.Valid() && GetFileInformationByHandle(file.Get(), &info);
}

// Only files on local disks are looked at: a share that has gone away can hold every call on it
// up for many seconds, and the list is compared at each open.
bool IsLocal(const std::wstring& fullPath) {
    if (fullPath.size() < 3 || fullPath[1] != L':') return false;
    UINT type = GetDriveTypeW(fullPath.substr(0, 3).c_str());
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK;
}

}  // namespace

std::wstring NormalisePackagePath(const std::wstring& path) {
    if (path.empty()) return path;
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    if (!IsLocal(full)) return full;
    std::wstring longer(full.size() + MAX_PATH, L'\0');
    length = GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (length >= longer.size()) {
        longer.resize(length);
        length = GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    }
    if (length == 0 || length >= longer.size()) return full;
    longer.resize(length);
    return longer;
}

bool SamePackageFile(const std::wstring& first, const std::wstring& second) {
    std::wstring fullFirst = NormalisePackagePath(first), fullSecond = NormalisePackagePath(second);
    if (EqualIgnoringCase(fullFirst, fullSecond)) return true;
    if (!IsLocal(fullFirst) || !IsLocal(fullSecond)) return false;
    BY_HANDLE_FILE_INFORMATION a = {}, b = {};
    return FileIdentity(first, a) && FileIdentity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

RecentPackages::RecentPackages(std::vector<std::wstring> paths) {
    // Oldest first, so the first given ends up in front.
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) Add(*it);
}

void RecentPackages::Load(const SettingsStore& store) {
    paths_.clear();
    // Only the text is compared here: at start-up a vanished network share must not hold the
    // window up.
    for (const std::wstring& path : store.ReadList(kSection, kLimit)) {
        if (path.empty()) continue;
        bool repeated = false;
        for (const std::wstring& kept : paths_) repeated = repeated || EqualIgnoringCase(kept, path);
        if (!repeated) paths_.push_back(path);
    }
}

bool RecentPackages::Save(const SettingsStore& store) const { return store.WriteList(kSection, paths_, kLimit); }

void RecentPackages::Add(const std::wstring& path) {
    if (path.empty()) return;
    std::wstring full = NormalisePackagePath(path);
    std::vector<std::wstring> kept = {full};
    for (std::wstring& old : paths_) {
        if (kept.size() < kLimit && !SamePackageFile(old, full)) kept.push_back(std::move(old));
    }
    paths_ = std::move(kept);
}

bool RecentPackages::Remove(const std::wstring& path) {
    for (auto it = paths_.begin(); it != paths_.end(); ++it) {
        if (EqualIgnoringCase(*it, path)) {
            paths_.erase(it);
            return true;
        }
    }
    return false;
}

std::wstring ShortenPathInMiddle(const std::wstring& path, size_t maxChars) {
    if (path.size() <= maxChars) return path;
    // The head stays: "C:\Folder", "\\server\share", or the first name of a relative path.
    size_t headEnd = 0;
    int separatorsInHead = path.compare(0, 2, L"\\\\") == 0 ? 4 : path.size() > 2 && path[1] == L':' ? 2 : 1;
    for (int seen = 0; headEnd < path.size(); ++headEnd) {
        if ((path[headEnd] == L'\\' || path[headEnd] == L'/') && ++seen == separatorsInHead) break;
    }
    size_t nameStart = path.find_last_of(L"\\/");
    // A bare name: nothing to leave out.
    if (nameStart == std::wstring::npos) return path;
    if (nameStart > headEnd) {
        const std::wstring head = path.substr(0, headEnd);
        const std::wstring dots = L"\\...";
        // Take whole folders from the end while they fit.
        size_t tailStart = nameStart;
        for (;;) {
            size_t previous = path.find_last_of(L"\\/", tailStart - 1);
            if (previous == std::wstring::npos || previous <= headEnd) break;
            if (head.size() + dots.size() + (path.size() - previous) > maxChars) break;
            tailStart = previous;
        }
        if (head.size() + dots.size() + (path.size() - tailStart) <= maxChars) return head + dots + path.substr(tailStart);
    }
    return L"..." + path.substr(nameStart);
}

std::wstring RecentMenuText(size_t index, const std::wstring& path) {
    std::wstring shown;
    for (wchar_t c : ShortenPathInMiddle(path, RecentPackages::kMenuPathChars)) {
        shown += c;
        if (c == L'&') shown += L'&';
    }
    // Numbers 1 to 9 are the mnemonics; later ones (not kept today) go without.
    std::wstring number = std::to_wstring(index + 1);
    return (index < 9 ? L"&" + number : number) + L" " + shown;
}

}  // namespace kw
