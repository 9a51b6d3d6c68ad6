// The process-wide settings of a build run. Written by the user-interface thread before a run
// starts; read by the worker thread while it runs (the version numbers are also updated by the
// stamping step when it increments).
#pragma once

#include <cstdint>

namespace kw {

class PackageDocument;

using ActionSet = std::uint8_t;
enum : ActionSet {
    ActionDebug = 0x01,
    ActionRelease = 0x02,
    ActionRebuildAll = 0x04,
    ActionClean = 0x08,
    ActionSetVersion = 0x10,
    ActionAutoIncrement = 0x20,
};

struct VersionQuad {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t revision = 0;
};

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
