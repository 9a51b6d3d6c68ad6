// The arguments of kilnworks-cli run, read into what the main window's actions panel would hold.
#pragma once

#include "cli/CommandLine.h"
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
    std::wstring junitPath;   // where the run's records go; empty: not written
    std::wstring reportPath;
    bool withDependencies = false;
    unsigned long jobs = 1;            // builders at once
};

// Every option of run, in the order the usage lists them.
const std::vector<OptionSpec<RunOptions>>& RunOptionTable();

// PACKAGE and the options of RunOptionTable. Refused, with problem naming the word: a missing or
// second package, an unknown option, a missing or malformed value (a target that is not a
// nonzero 32-bit number, a version that is not four decimal numbers of 0 to 65535, a timeout that
// is not a number of 1 to 86400, jobs that are not a number of 1 to 64, an empty file name), or both
// version options.
ParseResult ParseRunOptions(const Arguments& args, RunOptions& options, std::wstring& problem);

}  // namespace kw::cli
