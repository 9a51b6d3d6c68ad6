#include "engine/StampVersions.h"

#include "engine/LogText.h"
#include "engine/RunSettings.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "version/StampFile.h"
#include "version/VersionRules.h"
#include "win/Text.h"

namespace kw {

namespace {

std::wstring VersionatingLine(const std::wstring& title, const std::wstring& path, CompilerKind kind,
                              ActionSet actions, const VersionQuad& v) {
    std::wstring line = title + L" " + path;
    if (!(actions & ActionSetVersion)) return line + L" ...";
    // Project files carry three numbers, resource scripts four.
    if (kind == CompilerVC6) return line + FormatW(L" -> %u.%u.%u.%u", v.major, v.minor, v.build, v.revision);
    return line + FormatW(L" -> %u.%u.%u", v.major, v.minor, v.build);
}

}  // namespace

int StampVersions(const int* targets, HWND window, HWND listBox) {
    RunSettings& settings = TheRunSettings();
    const ActionSet actions = settings.actions;
    if (!targets || !(actions & (ActionSetVersion | ActionAutoIncrement))) return 0;
    const std::wstring title = LoadResourceString(IDS_VERSIONATING);

    for (; *targets != 0; ++targets) {
        // A project or setting that can't be found leaves an empty path and kind 0.
        CompilerKind kind = CompilerUnknown;
        std::wstring path;
        if (settings.document) settings.document->GetProjectResourceFile(*targets, kind, path);

        PostLogLine(VersionatingLine(title, path, kind, actions, settings.version), window, listBox);
        StampResult result = StampFile(path, kind, actions, settings.version);
        if (result.Stamped()) {
            for (const std::wstring& line : result.logLines) PostLogLine(line, window, listBox);
        } else {
            PostLogLine(DescribeStampFailure(path, result), window, listBox);
        }
    }
    return 0;
}

void RewriteResourceVersionLine(std::string& line, size_t valueStart, bool stringValue, bool logFlag,
                                HWND window, HWND listBox) {
    RunSettings& settings = TheRunSettings();
    std::wstring logLine = RewriteVersionValue(line, valueStart, stringValue, logFlag, settings.actions,
                                               settings.version, AnsiCodePageSteps());
    if (!logLine.empty()) PostLogLine(logLine, window, listBox);
}

}  // namespace kw
