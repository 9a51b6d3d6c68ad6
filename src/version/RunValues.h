// Plain values a run is described by: its actions and its version numbers. A leaf header that
// includes nothing of the project, so the stamping rules and the engine above them share it.
#pragma once

#include <cstdint>

namespace kw {

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

}  // namespace kw
