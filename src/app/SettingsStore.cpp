#include "app/SettingsStore.h"

#include "win/Handles.h"

#include <algorithm>
#include <utility>

namespace kw {

SettingsStore::SettingsStore() : SettingsStore(HKEY_CURRENT_USER, L"Software\\Kilnworks") {}

SettingsStore::SettingsStore(HKEY root, std::wstring keyPath) : root_(root), keyPath_(std::move(keyPath)) {}

std::wstring SettingsStore::KeyPath(const std::wstring& section) const {
    if (section.empty()) return keyPath_;
    if (keyPath_.empty()) return section;
    return keyPath_ + L"\\" + section;
}

std::optional<std::wstring> SettingsStore::ReadText(const std::wstring& section, const std::wstring& name) const {
    RegKeyHandle key;
    if (root_ == nullptr || RegOpenKeyExW(root_, KeyPath(section).c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ || bytes > (kMaxTextChars + 1) * sizeof(wchar_t)) return std::nullopt;
    // The stored text need not end in a terminator, nor fill whole characters.
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD room = static_cast<DWORD>(text.size()) * DWORD{sizeof(wchar_t)};
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &room) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    text.resize(std::min<size_t>(room / sizeof(wchar_t), text.size()));
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

std::optional<DWORD> SettingsStore::ReadNumber(const std::wstring& section, const std::wstring& name) const {
    RegKeyHandle key;
    if (root_ == nullptr || RegOpenKeyExW(root_, KeyPath(section).c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, value = 0, bytes = sizeof(value);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(value)) {
        return std::nullopt;
    }
    return value;
}

namespace {

bool OpenForWriting(HKEY root, const std::wstring& path, RegKeyHandle& key) {
    return root != nullptr && RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.Out(),
                                              nullptr) == ERROR_SUCCESS;
}

bool SetText(HKEY key, const std::wstring& name, const std::wstring& value) {
    auto bytes = static_cast<DWORD>(value.size() + 1) * DWORD{sizeof(wchar_t)};
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

}  // namespace

bool SettingsStore::WriteText(const std::wstring& section, const std::wstring& name, const std::wstring& value) const {
    RegKeyHandle key;
    return value.size() <= kMaxTextChars && OpenForWriting(root_, KeyPath(section), key) &&
           SetText(key.Get(), name, value);
}

bool SettingsStore::WriteNumber(const std::wstring& section, const std::wstring& name, DWORD value) const {
    RegKeyHandle key;
    return OpenForWriting(root_, KeyPath(section), key) &&
           RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

std::vector<std::wstring> SettingsStore::ReadList(const std::wstring& section, size_t limit) const {
    std::vector<std::wstring> items;
    for (size_t i = 1; i <= limit; ++i) {
        if (auto item = ReadText(section, std::to_wstring(i))) items.push_back(*item);
    }
    return items;
}

bool SettingsStore::WriteList(const std::wstring& section, const std::vector<std::wstring>& items, size_t limit) const {
    RegKeyHandle key;
    if (!OpenForWriting(root_, KeyPath(section), key)) return false;
    bool written = true;
    for (size_t i = 0; i < items.size() && i < limit; ++i) {
        written = items[i].size() <= kMaxTextChars && SetText(key.Get(), std::to_wstring(i + 1), items[i]) && written;
    }
    for (size_t i = items.size() + 1; i <= limit; ++i) {
        LSTATUS status = RegDeleteValueW(key.Get(), std::to_wstring(i).c_str());
        written = (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) && written;
    }
    return written;
}

}  // namespace kw
