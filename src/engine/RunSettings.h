// The process-wide settings of a build run. Written by the user-interface thread before a run
// starts; read by the worker thread while it runs (the version numbers are also updated by the
// stamping step when it increments).
#pragma once

#include "version/RunValues.h"

namespace kw {

class PackageDocument;

inline constexpr int kVisualStudioFolderChars = 256;

struct RunSettings {
    PackageDocument* document = nullptr;
    const wchar_t* temporaryFolder = nullptr;
    wchar_t VisualStudioFolder[kVisualStudioFolderChars] = L"<not installed>";
    ActionSet actions = 0;
    VersionQuad version;
};

// The one set of run settings in the process.
RunSettings& TheRunSettings();

}  // namespace kw
