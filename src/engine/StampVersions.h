// The version-stamping step of a run: rewrites the version numbers in every target's resource
// script or Visual Basic project file.
#pragma once

#include <windows.h>

#include <string>

namespace kw {

// targets: ProjectIDs ending with 0. For each target posts "Versionating <file> ..." (or the
// numbers being set), stamps the file with the run settings' action and numbers, then posts the
// rules' " -> " lines, or one line saying why the file was not stamped. Always 0: a target's
// failure never stops the step, and the worker ignores the result.
int StampVersions(const int* targets, HWND window, HWND listBox);

// One resource-script version line rewritten with the run settings (action and numbers), its
// value starting at valueStart; posts the " -> " line of an incremented ProductVersion value.
// line holds the bytes of the line, CR LF included, in the ANSI code page.
void RewriteResourceVersionLine(std::string& line, size_t valueStart, bool stringValue, bool logFlag,
                                HWND window, HWND listBox);

}  // namespace kw
