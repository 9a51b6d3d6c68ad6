// A run as a value: everything the worker needs, copied from the package and the user's choices on
// the user-interface thread when the run is set up. The worker owns its job; it never reads the
// package document, a window's controls or anything process-wide.
#pragma once

#include "engine/RunOutcome.h"
#include "package/PackageDocument.h"
#include "version/RunValues.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kw {

inline constexpr wchar_t kVisualStudioSetupKey[] = L"Software\\Microsoft\\VisualStudio\\6.0\\Setup";
inline constexpr wchar_t kVisualStudioFolderValue[] = L"VsCommonDir";
inline constexpr wchar_t kNotInstalled[] = L"<not installed>";
inline constexpr int kVisualStudioFolderChars = 256;
// A step waits on its running builders at once, and one wait takes at most 64 handles.
inline constexpr int kMaxParallelBuilds = 64;

// One target as the package described it when the run was set up.
struct RunTarget {
    int projectId = 0;
    // The project's settings; fields the package could not give are empty.
    ProjectRecord record;
    // What the stamping step reads: the kind and file as GetProjectResourceFile gives them.
    CompilerKind resourceKind = CompilerUnknown;
    std::wstring resourceFile;
    // The targets of this run it must wait for in every step (its dependencies, looking through
    // projects that are not targets), ascending.
    std::vector<int> dependencies;
};

struct RunJob {
    std::wstring packageName;  // for the run's records
    std::wstring packagePath;
    ActionSet actions = 0;
    VersionQuad version;  // the numbers to set; unused when incrementing
    std::wstring visualStudioFolder = kNotInstalled;
    std::wstring visualStudioProblem;  // why the registry's folder was not taken, if it wasn't
    std::wstring temporaryFolder;
    DWORD builderTimeoutSeconds = 0;   // 0: builders run as long as they like
    int parallelBuilds = 1;            // builders a step may run at once (1 to kMaxParallelBuilds)
    std::vector<RunTarget> targets;    // in run order
    // Projects the set-up left out, with the lines that say so; they head the outcome and the log.
    std::vector<TargetOutcome> notRun;
    std::vector<std::wstring> setupLines;

    bool HasSomethingToDo() const {
        return (actions & (ActionDebug | ActionRelease | ActionSetVersion | ActionAutoIncrement)) != 0;
    }
};

}  // namespace kw
