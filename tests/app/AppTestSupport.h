// Shared by the window and settings tests: a registry key of the tests' own, so no test reads or
// changes what the user's Kilnworks remembers.
#pragma once

#include "app/SettingsStore.h"
#include "win/Handles.h"

#include <windows.h>

#include <string>

namespace kwtest {

// HKEY_CURRENT_USER\Software\Kilnworks Tests\<name>, gone before and after the test.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name) : path_(L"Software\\Kilnworks Tests\\" + name) { Remove(); }
    ~ScratchKey() { Remove(); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return path_; }
    kw::SettingsStore Store() const { return kw::SettingsStore(HKEY_CURRENT_USER, path_); }
    void Remove() const { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str()); }
    // A store whose key can't be made, as for a user who may not write the registry: it lies
    // under a volatile key, which refuses lasting subkeys.
    kw::SettingsStore UnwritableStore() const {
        Remove();
        kw::RegKeyHandle key;
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        key.Out(), nullptr);
        return kw::SettingsStore(HKEY_CURRENT_USER, path_ + L"\\Kilnworks");
    }

private:
    std::wstring path_;
};

}  // namespace kwtest
