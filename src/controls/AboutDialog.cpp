#include "controls/AboutDialog.h"

#include <cwchar>

#include "KilnworksVersion.h"
#include "resource.h"
#include "win/Text.h"

namespace kw {

AboutDialog::AboutDialog() : Dialog(IDD_ABOUTBOX) {}

std::wstring AboutDialog::VersionLine() { return L"Kilnworks Version " KW_VERSION_WTEXT; }

bool AboutDialog::OnInitDialog() {
    SetDlgItemTextW(Handle(), IDC_ABOUT_VERSION, VersionLine().c_str());
    link_.Attach(Handle(), IDC_ABOUT_LINK);
    // The label keeps the template's words; the address shows in its tooltip.
    link_.SetLink(UserGuideAddress());
    link_.SetUnderlined(true);
    return true;
}

std::wstring AboutDialog::UserGuideAddress() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    path.erase(slash == std::wstring::npos ? 0 : slash + 1);
    return FileUrlFromPath(path + kUserGuideFileName);
}

std::wstring FileUrlFromPath(const std::wstring& path) {
    std::wstring url = L"file:";
    std::wstring rest = path;
    if (rest.compare(0, 2, L"\\\\") == 0) {
        rest.erase(0, 2);
        url += L"//";
    } else {
        url += L"///";
    }
    for (char byte : ToUtf8(rest)) {
        auto c = static_cast<unsigned char>(byte);
        if (c == '\\') {
            url += L'/';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   std::wcschr(L"-._~/:!$&'()*+,;=@", c) != nullptr) {
            url += static_cast<wchar_t>(c);
        } else {
            url += FormatW(L"%%%02X", c);
        }
    }
    return url;
}

}  // namespace kw
