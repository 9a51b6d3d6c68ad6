#include "win/Registry.h"

#include "win/Handles.h"

#include <vector>

namespace kw {

namespace {

std::wstring ExpandVariables(const std::wstring& text) {
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::vector<wchar_t> expanded(needed, L'\0');
    DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed) return text;
    return std::wstring(expanded.data());
}

}  // namespace

RegistryText ReadRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name, std::wstring& value) {
    value.clear();
    RegKeyHandle key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) return RegistryText::Missing;
    // Asked for its size first: a value may be longer than any fixed buffer.
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return RegistryText::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return RegistryText::NotText;
    // One character more than asked for: the stored value may lack its terminator.
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size()) * DWORD{sizeof(wchar_t)};
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return RegistryText::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return RegistryText::NotText;
    buffer.back() = L'\0';
    value = buffer.data();
    // "%ProgramFiles%\..." is only a path once the variables are filled in.
    if (type == REG_EXPAND_SZ) value = ExpandVariables(value);
    return RegistryText::Read;
}

}  // namespace kw
