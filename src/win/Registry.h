// Reading text values from the registry.
#pragma once

#include <windows.h>

#include <string>

namespace kw {

enum class RegistryText {
    Read,
    Missing,  // no such key or value
    NotText,  // the value is there but not REG_SZ or REG_EXPAND_SZ
};

// The text value name (nullptr: the default value) of root\subKey, whole whatever its length, up
// to its first NUL; a REG_EXPAND_SZ with its environment variables filled in.
RegistryText ReadRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name, std::wstring& value);

}  // namespace kw
