// Putting a run record (JUnit file, HTML report) on disk: checked before the run, so a place that
// can't be written stops the run before anything is built, and replaced in one step after it, so
// a failed write leaves the previous file as it was.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// True when a file can be written at path: its folder exists and takes a new file, and path is
// not a folder or a read-only file. Otherwise false with the reason in plain words ("the folder
// 'C:\out' does not exist"). Leaves nothing behind.
bool CanWriteRecordFile(const std::wstring& path, std::wstring& problem);

// Replaces the file at path with bytes in one step. On failure the previous file is kept and
// problem says why ("Could not write 'C:\out\kilnworks.xml': Access is denied."); 0 on success,
// else the Win32 error.
unsigned long WriteRecordFile(const std::wstring& path, std::string_view bytes, std::wstring& problem);

}  // namespace kw
