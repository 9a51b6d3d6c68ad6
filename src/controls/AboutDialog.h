// The About box: icon, name and version, notice line, and a link to the user guide that ships
// beside the program.
#pragma once

#include <string>

#include "controls/HyperlinkLabel.h"
#include "win/Dialog.h"

namespace kw {

// The user guide's file name; it is installed in the program's folder.
constexpr wchar_t kUserGuideFileName[] = L"kilnworks-guide.html";

class AboutDialog : public Dialog {
public:
    AboutDialog();

    HyperlinkLabel& Link() { return link_; }

    // "Kilnworks Version 1.3.0": the build's version number.
    static std::wstring VersionLine();

    // file:/// address of the user guide beside the running program.
    static std::wstring UserGuideAddress();

protected:
    bool OnInitDialog() override;

private:
    HyperlinkLabel link_;
};

// A file URL for a Windows path: "C:\a b\x.html" becomes "file:///C:/a%20b/x.html", a UNC path
// "\\server\share\x" becomes "file://server/share/x". Characters outside plain ASCII are
// written as percent-encoded UTF-8.
std::wstring FileUrlFromPath(const std::wstring& path);

}  // namespace kw
