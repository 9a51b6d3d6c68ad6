// A folder listing that doesn't depend on the order the file system lists entries in.
#pragma once

#include "common/TestSupport.h"

inline std::wstring Sorted(const std::wstring& folder) { return kwtest::ListFolder(folder); }
