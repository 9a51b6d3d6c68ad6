// The version-stamping step of a run: rewrites the version numbers in every target's resource
// script or Visual Basic project file.
#pragma once

#include <windows.h>

namespace kw {

// targets: ProjectIDs ending with 0. For each target posts "Versionating <file> ..." (or the
// numbers being set), stamps the file with the run settings' action and numbers, then posts the
// rules' " -> " lines, or one line saying why the file was not stamped, and notes the target's
// outcome. Always 0: a target's failure never stops the step, and the worker ignores the result.
int StampVersions(const int* targets, HWND window, HWND listBox);

}  // namespace kw
