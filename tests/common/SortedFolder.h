// A folder listing that doesn't depend on the order the file system lists entries in.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "common/TestSupport.h"

// The folder's entries in name order, separated by blanks.
inline std::wstring Sorted(const std::wstring& folder) {
    std::wstring names = kwtest::ListFolder(folder) + L" ", name;
    std::vector<std::wstring> list;
    for (wchar_t c : names) {
        if (c != L' ') {
            name += c;
        } else if (!name.empty()) {
            list.push_back(name);
            name.clear();
        }
    }
    std::sort(list.begin(), list.end());
    std::wstring joined;
    for (const auto& n : list) joined += (joined.empty() ? L"" : L" ") + n;
    return joined;
}
