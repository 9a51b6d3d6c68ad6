#include "engine/StampVersions.h"

#include "engine/LogText.h"
#include "engine/RunControl.h"
#include "engine/RunSettings.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "version/StampFile.h"
#include "version/VersionRules.h"
#include "win/Text.h"

#include <cwchar>

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

// The reason in a few words, for the summary.
const wchar_t* ShortReason(StampFailure failure) {
    switch (failure) {
    case StampFailure::NoResourceFile: return L"no resource file named";
    case StampFailure::UnknownKind: return L"unknown project kind";
    case StampFailure::ReadOnly: return L"read-only";
    case StampFailure::InUse: return L"in use";
    case StampFailure::Missing: return L"file missing";
    case StampFailure::FolderMissing: return L"folder missing";
    case StampFailure::HoldsZeroBytes: return L"not text";
    case StampFailure::NoVersionLine: return L"no version line";
    case StampFailure::TemporaryExists: return L".new file exists";
    case StampFailure::NotWritten:
    case StampFailure::NotReplaced: return L"could not be written";
    default: return L"could not be read";
    }
}

// Keeps the numbers a stamped file now holds. A resource script's are the run settings' (its rules
// store what they write); a project file's incremented revision is never stored there, so its
// numbers come from its " -> " line, which shows exactly what was written.
void RememberStamped(CompilerKind kind, const std::vector<std::wstring>& logLines, const VersionQuad& settings,
                     RunOutcome& outcome) {
    outcome.anyStamped = true;
    outcome.lastStamped = settings;
    if (kind != CompilerVB6) return;
    for (auto line = logLines.rbegin(); line != logLines.rend(); ++line) {
        if (line->rfind(L" -> ", 0) != 0) continue;
        std::uint32_t parts[4] = {settings.major, settings.minor, settings.build, settings.revision};
        const wchar_t* text = line->c_str() + 4;
        for (std::uint32_t& part : parts) {
            wchar_t* end = nullptr;
            long long value = std::wcstoll(text, &end, 10);
            if (end == text) break;
            part = static_cast<std::uint32_t>(value);
            if (*end != L'.') break;
            text = end + 1;
        }
        outcome.lastStamped = VersionQuad{parts[0], parts[1], parts[2], parts[3]};
        return;
    }
}

}  // namespace

int StampVersions(const int* targets, HWND window, HWND listBox) {
    RunSettings& settings = TheRunSettings();
    const ActionSet actions = settings.actions;
    if (!targets || !(actions & (ActionSetVersion | ActionAutoIncrement))) return 0;
    const std::wstring title = LoadResourceString(IDS_VERSIONATING);

    for (; *targets != 0 && !RunStopRequested(); ++targets) {
        // A project or setting that can't be found leaves an empty path and kind 0.
        CompilerKind kind = CompilerUnknown;
        std::wstring path;
        ProjectRecord record;
        if (settings.document) {
            settings.document->GetProjectResourceFile(*targets, kind, path);
            settings.document->GetProjectSettings(*targets, record);
        }
        TargetOutcome& outcome = TheRunOutcome().Target(*targets, record.name);

        PostLogLine(VersionatingLine(title, path, kind, actions, settings.version), window, listBox);
        StampResult result = StampFile(path, kind, actions, settings.version);
        if (result.Stamped()) {
            for (const std::wstring& line : result.logLines) PostLogLine(line, window, listBox);
            RememberStamped(kind, result.logLines, settings.version, TheRunOutcome());
            outcome.steps.push_back(StepOutcome{});
            for (const std::wstring& warning : DescribeStampWarnings(path, result)) {
                PostLogLine(warning, window, listBox);
                outcome.warned = true;
            }
        } else {
            PostLogLine(DescribeStampFailure(path, result), window, listBox);
            outcome.steps.push_back(StepOutcome{StepOutcome::Failed, L"",
                                                std::wstring(L"version not stamped (") + ShortReason(result.failure) + L")"});
        }
    }
    return 0;
}

}  // namespace kw
