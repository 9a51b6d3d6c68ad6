// What both front ends do the same way before a run: find the temporary folder, list the
// package's projects, and turn the package and the user's choices into a RunJob, or a refusal.
#pragma once

#include "engine/RunJob.h"
#include "package/PackageDocument.h"
#include "version/RunValues.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kw {

// TEMP, else TMP, whole whatever its length; an empty value counts as set. False when neither is.
bool ReadTemporaryFolder(std::wstring& folder);

// Empty when the folder can take the run's log files: it exists, is a folder, a file can be
// created in it, and its path leaves room for the log names. Otherwise the whole message:
// "The folder for temporary files <path> can't be used: <reason>."
std::wstring CheckTemporaryFolder(const std::wstring& folder);

// The package's projects as the package list shows them: GetPackageInfo, then the listing, which
// ends at the first project that can't be summarised. 0, or the string-table id of the message
// the window shows (no package info, no projects, listing failed).
unsigned ListProjects(PackageDocument& document, std::vector<ProjectRow>& rows);
// The same; complete is false when a project that can't be summarised ended the listing early.
unsigned ListProjects(PackageDocument& document, std::vector<ProjectRow>& rows, bool& complete);

// A listed project that can't be a target, and why, in a few words.
struct UnusableProject {
    ProjectRow row;
    std::wstring reason;  // the ProjectID's text, and why when the text alone doesn't say
};

// The ProjectIDs of the rows that can be targets. A ProjectID that reads as 0 (empty, not a
// number, 0), is not written as its plain decimal number (" 7", "007", one past the 32-bit range:
// a lookup by number compares the text) or repeats an earlier row's goes to unusable instead:
// the package finds only the first project written with a number.
std::vector<int> UsableTargets(const std::vector<ProjectRow>& rows, std::vector<UnusableProject>& unusable);

// Each ProjectID once, in ascending order, as the Targets list holds them; 0 (the list's end) is
// left out.
std::vector<int> OrderTargets(std::vector<int> targets);

// What the user chose, in the words of the actions panel.
struct RunChoices {
    std::vector<int> targets;  // ProjectIDs, any order, repeats allowed
    bool debug = false, release = false, rebuildAll = false, clean = false;
    bool version = false;        // a version action is wanted
    bool autoIncrement = false;  // ... and increments instead of setting
    VersionQuad numbers;         // to set; stored only with a version action
    DWORD builderTimeoutSeconds = 0;
    bool withDependencies = false;  // add every project the targets depend on, however indirectly
    int parallelBuilds = 1;         // builders a step may run at once, 1 to kMaxParallelBuilds
};

// Where the run takes place: the temporary folder and the Visual Studio folder.
struct RunEnvironment {
    std::wstring temporaryFolder;
    std::wstring visualStudioFolder = kNotInstalled;
    std::wstring visualStudioProblem;  // why the registry's value was not taken, if it wasn't
};

// The environment with the Visual Studio folder from VsCommonDir under
// HKLM\Software\Microsoft\VisualStudio\6.0\Setup; a missing key or value leaves "<not installed>".
RunEnvironment ReadRunEnvironment(const std::wstring& temporaryFolder);

enum class RunRefusal {
    None,
    Unusable,       // the temporary folder or the package's project list can't be used
    UnknownTarget,  // a chosen ProjectID names no project of the package
    NothingToDo,    // neither a build nor a version action ("No action was selected for execution.")
    Dependencies,   // a dependency names no project, the project itself, or closes a circle
};

struct PreparedRun {
    RunRefusal refusal = RunRefusal::None;
    std::wstring message;  // the refusal's whole message
    RunJob job;            // when not refused

    // kExitUnusable or kExitUsage for a refusal, else kExitSucceeded.
    int ExitCode() const;
};

// The one set-up of a run, for both front ends. Refuses a temporary folder that can't be used, a
// package whose projects can't be listed, a chosen ProjectID no project has, dependencies that
// can't be read, name a project the package does not have or go round in a circle (the message
// is CheckDependencies'), and a choice with nothing to do. Otherwise the job: the actions and
// numbers, the environment, and the targets (with every dependency when asked) each after the
// targets it depends on, else in ascending ProjectID, with a copy of each one's settings read
// now. A dependency that is not a target is named in a line once per target that needs it. A listed project of a chosen
// ProjectID that the package can't find by it (a repeat, "007", "abc") is named in a line and
// counted as not run; so is the rest of a project list that ends early, when every listed
// project was chosen.
PreparedRun SetUpRun(PackageDocument& document, const RunChoices& choices, const RunEnvironment& environment);

}  // namespace kw
