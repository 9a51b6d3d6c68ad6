// The version-stamping step of a run: rewrites the version numbers in every target's resource
// script or Visual Basic project file.
#pragma once

#include <windows.h>

namespace kw {

// targets: ProjectIDs ending with 0. Log lines go to listBox through window. 0 or -1; the worker
// ignores the result.
int StampVersions(const int* targets, HWND window, HWND listBox);

}  // namespace kw
