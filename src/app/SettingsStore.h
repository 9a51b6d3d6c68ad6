// The program's per-user settings: named values under HKEY_CURRENT_USER\Software\Kilnworks, in
// sections (subkeys). The registry may be missing or unwritable; the program then goes on with
// its defaults and simply forgets, so no operation here fails loudly.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kw {

class SettingsStore {
public:
    // HKEY_CURRENT_USER\Software\Kilnworks.
    SettingsStore();
    // keyPath under root. The store does not own root; it must stay open while the store is used.
    SettingsStore(HKEY root, std::wstring keyPath);

    // A value of a section ("" is the key itself). Nothing when the key or the value is missing,
    // of another type, too long or unreadable.
    std::optional<std::wstring> ReadText(const std::wstring& section, const std::wstring& name) const;
    std::optional<DWORD> ReadNumber(const std::wstring& section, const std::wstring& name) const;
    // False when the value could not be written (no right to write, no registry).
    bool WriteText(const std::wstring& section, const std::wstring& name, const std::wstring& value) const;
    bool WriteNumber(const std::wstring& section, const std::wstring& name, DWORD value) const;

    // A numbered list: the texts "1", "2", ... up to limit, in order; missing numbers are skipped.
    std::vector<std::wstring> ReadList(const std::wstring& section, size_t limit) const;
    // Writes the items as "1", "2", ... and removes the numbers after them up to limit.
    bool WriteList(const std::wstring& section, const std::vector<std::wstring>& items, size_t limit) const;

    // The longest text a value may hold; longer ones are taken as damaged.
    static constexpr DWORD kMaxTextChars = 32767;

private:
    std::wstring KeyPath(const std::wstring& section) const;

    HKEY root_;
    std::wstring keyPath_;
};

}  // namespace kw
