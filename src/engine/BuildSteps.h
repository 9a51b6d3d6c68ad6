// The two builder steps of a run. Each walks the whole target list, reads every target's settings
// from the run's package, and runs one builder per matching target, waiting for it before the
// next.
#pragma once

#include "engine/RunSettings.h"

#include <windows.h>

namespace kw {

// Runs the Visual C++ IDE for every VC6 target. mode: ActionDebug, ActionRelease or ActionClean.
// Posts nothing of its own. Always 0.
int BuildVisualCppProjects(const int* targets, HWND window, HWND listBox, ActionSet mode);

// Runs the Visual Basic compiler for every VB6 target, after posting "Building <name> ...".
// Stops at the first target (of any kind) without a name or source folder: -1. Otherwise 0.
int BuildVisualBasicProjects(const int* targets, HWND window, HWND listBox);

}  // namespace kw
