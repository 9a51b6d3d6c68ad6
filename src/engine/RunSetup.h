// What both front ends do the same way before a run: find the temporary folder, list the
// package's projects, order the targets and read the version fields.
#pragma once

#include "package/PackageFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kw {

class PackageDocument;

// TEMP, else TMP, whole whatever its length; an empty value counts as set. False when neither is.
bool ReadTemporaryFolder(std::wstring& folder);

// Empty when the folder can take the run's log files: it exists, is a folder, a file can be
// created in it, and its path leaves room for the log names. Otherwise the whole message:
// "The folder for temporary files <path> can't be used: <reason>."
std::wstring CheckTemporaryFolder(const std::wstring& folder);

// One row of the package list.
struct ProjectRow {
    int projectId = 0;
    std::wstring name;
    CompilerKind kind = CompilerUnknown;
    std::wstring idText;  // the ProjectID as the file writes it
};

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

// A number the way the version fields are read: leading white space skipped, an optional sign,
// decimal digits up to the first other character (0 when there are none), handed on as its
// 32-bit pattern, so -1 gives 4294967295.
std::uint32_t ReadVersionNumber(const std::wstring& text);

}  // namespace kw
