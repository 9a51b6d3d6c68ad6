// The File menu's list of recently opened or saved packages, most recent first, kept per user.
#pragma once

#include "app/SettingsStore.h"

#include <string>
#include <vector>

namespace kw {

class RecentPackages {
public:
    static constexpr size_t kLimit = 8;
    // The longest path the menu shows whole.
    static constexpr size_t kMenuPathChars = 60;

    RecentPackages() = default;
    explicit RecentPackages(std::vector<std::wstring> paths);

    // The list as the store holds it now (another window may have changed it); empty entries and
    // repeats dropped, at most kLimit.
    void Load(const SettingsStore& store);
    bool Save(const SettingsStore& store) const;

    // Puts the package in front, as a full path. The same file under another spelling (case,
    // short names, "..", forward slashes, another link to it) is not kept twice; the oldest beyond
    // the limit goes.
    void Add(const std::wstring& path);
    // False when the path was not in the list.
    bool Remove(const std::wstring& path);

    const std::vector<std::wstring>& Paths() const { return paths_; }

private:
    std::vector<std::wstring> paths_;
};

// A full path, with its long names where the file exists on a local disk.
std::wstring NormalisePackagePath(const std::wstring& path);
// True when both paths name the same file: equal once normalised (case aside), or both lead to
// the same existing file on a local disk (network paths are compared by their text only).
bool SamePackageFile(const std::wstring& first, const std::wstring& second);
// The path cut in the middle to at most maxChars where it can be: the root and first folder, "...",
// then as many of the last folders as fit, the file name always whole.
std::wstring ShortenPathInMiddle(const std::wstring& path, size_t maxChars);
// The menu entry for the index-th package (from 0): "&1 C:\...\Demo.kwp", "&" in the path doubled.
std::wstring RecentMenuText(size_t index, const std::wstring& path);

}  // namespace kw
