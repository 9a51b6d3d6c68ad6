// The process-wide settings of a build run. Written by the user-interface thread before a run
// starts; read by the worker thread while it runs (the version numbers are also updated by the
// stamping step when it increments).
#pragma once

#include "version/RunValues.h"

#include <windows.h>

#include <string>

namespace kw {

class PackageDocument;
class ProcessLauncher;

inline constexpr int kVisualStudioFolderChars = 256;

struct RunSettings {
    PackageDocument* document = nullptr;
    const wchar_t* temporaryFolder = nullptr;
    wchar_t VisualStudioFolder[kVisualStudioFolderChars] = L"<not installed>";
    ActionSet actions = 0;
    VersionQuad version;
    std::wstring visualStudioProblem;  // why the registry's folder was not taken, if it wasn't
    DWORD builderTimeoutSeconds = 0;   // 0: builders run as long as they like
    ProcessLauncher* launcher = nullptr;  // null: the system's
};

// The one set of run settings in the process.
RunSettings& TheRunSettings();

}  // namespace kw
