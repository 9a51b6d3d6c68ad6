// The arguments of kilnworks-cli run, read into what the main window's actions panel would hold.
#pragma once

#include "engine/RunSetup.h"
#include "version/RunValues.h"

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
    unsigned long timeoutSeconds = 0;  // 0: none
};

// PACKAGE [--targets all|ID[,ID...]] [--debug] [--release] [--rebuild-all] [--clean]
//         [--set-version A.B.C.D | --auto-increment] [--timeout SECONDS]
// False on anything else: a missing package, an unknown option, a target that is not a number,
// a version that is not four decimal numbers of 0 to 65535, a timeout that is not a number of
// 1 to 86400, or both version options.
bool ParseRunOptions(const std::vector<std::wstring>& args, RunOptions& options);

}  // namespace kw::cli
