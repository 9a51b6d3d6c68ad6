// Replacing a file in one step: the new contents go to a temporary file beside the target, are
// flushed, and take the target's place. A failure at any point leaves the target as it was and
// removes the temporary file.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kw {

// True when the file exists and carries the read-only attribute. Checked by us because Wine lets
// root write such files.
bool IsReadOnlyFile(const std::wstring& path);

// Another process holds the file open, locked, mapped or still half replaced: worth a retry, and
// for the user "in use" rather than "unreadable".
bool IsSharingError(DWORD error);

// Puts tempPath in target's place in one step, retrying briefly while another process holds
// either file. An existing target is replaced with ReplaceFileW, so the file keeps its
// attributes and security; a new one (or where ReplaceFileW is unavailable) is moved there
// write-through. Refuses a read-only target. On failure the target is as it was, tempPath is
// deleted and the Win32 error is returned; 0 on success.
DWORD CommitReplacement(const std::wstring& tempPath, const std::wstring& target);

// Writes bytes into tempPath (created or truncated), flushed to disk. On failure tempPath is
// deleted and the Win32 error is returned; 0 on success.
DWORD WriteWholeFile(const std::wstring& tempPath, std::string_view bytes);

// Writes bytes, flushed, into a new file beside target whose name no existing file has (it is
// made with CREATE_NEW); tempPath receives the name. On failure nothing is left behind and the
// Win32 error is returned; 0 on success.
DWORD WriteTemporaryBeside(const std::wstring& target, std::string_view bytes, std::wstring& tempPath);

// WriteTemporaryBeside, then CommitReplacement. Refuses a read-only target.
DWORD ReplaceFileContents(const std::wstring& target, std::string_view bytes);

// Reads a whole file; 0 on success, else the Win32 error. A file larger than maxBytes is refused
// with ERROR_FILE_TOO_LARGE before anything is allocated.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes, unsigned long long maxBytes = 0x7FFFFFFF);

// The reason for a Win32 error in plain words, without a trailing line break.
std::wstring DescribeWin32Error(DWORD error);

}  // namespace kw
