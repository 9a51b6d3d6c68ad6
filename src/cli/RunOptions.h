// The arguments of kilnworks-cli run, read into what the main window's actions panel would hold.
#pragma once

#include "build/RunSettings.h"

#include <string>
#include <vector>

namespace kw::cli {

struct RunOptions {
    std::wstring package;
    bool allTargets = true;
    std::vector<int> targets;  // when not allTargets, as given
    bool debug = false;
    bool release = false;
    bool rebuildAll = false;
    bool clean = false;
    bool setVersion = false;
    bool autoIncrement = false;
    VersionQuad version;
};

// PACKAGE [--targets all|ID[,ID...]] [--debug] [--release] [--rebuild-all] [--clean]
//         [--set-version A.B.C.D | --auto-increment]
// False on anything else: a missing package, an unknown option, a target that is not a number,
// a version that is not four parts, or both version options.
bool ParseRunOptions(const std::vector<std::wstring>& args, RunOptions& options);

// A number the way the version fields are read: leading white space skipped, an optional sign,
// decimal digits up to the first other character (0 when there are none), handed on as its
// 32-bit pattern, so -1 gives 4294967295.
std::uint32_t ReadVersionNumber(const std::wstring& text);

// Each ProjectID once, in ascending order, as the Targets list holds them; 0 (the list's end) is
// left out.
std::vector<int> OrderTargets(std::vector<int> targets);

}  // namespace kw::cli
