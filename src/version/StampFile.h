// Rewriting the version lines of one resource script or project file on disk.
//
// The file is read in chunks and split into lines at the bytes CR LF (at the code units CR LF in
// a UTF-16 file); each complete line goes through the rules of the project's kind, every other
// byte is copied as it is. The result goes to "<file>.new" beside the file, is flushed, and
// replaces the file in one step. Whatever fails, the file keeps its old bytes and no ".new" file
// of ours is left behind; a ".new" file that exists already is the user's and is left alone.
// A file without a single version line is not replaced.
#pragma once

#include "version/RunValues.h"
#include "package/PackageFormat.h"
#include "version/VersionRules.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kw {

enum class TextEncoding {
    Bytes,     // 8-bit text in the ANSI code page (or UTF-8 without a mark)
    Utf8,      // UTF-8 with its byte-order mark
    Utf16Le,   // UTF-16 little endian with its byte-order mark
    Utf16Be,   // UTF-16 big endian with its byte-order mark
};

enum class StampFailure {
    None,
    NoResourceFile,   // the project names no file
    UnknownKind,      // neither a Visual C++ nor a Visual Basic project
    ReadOnly,         // the file carries the read-only attribute
    InUse,            // another program holds the file open
    Missing,          // the file does not exist
    FolderMissing,    // the file's folder does not exist
    Unreadable,       // any other failure to open or read the file
    HoldsZeroBytes,   // 8-bit text with zero bytes in it: not a text this step understands
    NotWritten,       // the ".new" file could not be created or written
    NotReplaced,      // the ".new" file could not take the file's place
    NoVersionLine,    // no line of the file is a version line of its kind
    TemporaryExists,  // a file named "<file>.new" exists already; it is not ours to overwrite
};

struct StampResult {
    StampFailure failure = StampFailure::None;
    DWORD error = 0;                     // the Win32 error behind the failure, if any
    TextEncoding encoding = TextEncoding::Bytes;
    std::vector<std::wstring> logLines;  // the rules' " -> " lines, for a stamped file only
    // Checked on every version line: a part now in the file is above 65535 (the resource compiler
    // keeps 16 bits of each), or a number read from it was negative or too large for its part.
    bool partAbove16Bits = false;
    bool numberOutOfRange = false;
    // The numbers the file's last rewritten version line now holds (a project file's revision as
    // the third); the run's numbers when no line could be rewritten. Set for a stamped file.
    VersionQuad written;

    bool Stamped() const { return failure == StampFailure::None; }
};

struct StampOptions {
    // Bytes read at a time. Small values only make tests split lines and characters more often.
    size_t chunkSize = 256 * 1024;
    // How 8-bit text without a byte-order mark is split into characters; by default the ANSI
    // code page's rule.
    const CharSteps* ansiSteps = nullptr;
};

// The ".new" file beside path.
std::wstring TemporaryPathFor(const std::wstring& path);

// Stamps one file by the rules of kind. The version numbers read while incrementing are stored
// into version once the file has been read through; a file that is skipped changes nothing.
StampResult StampFile(const std::wstring& path, CompilerKind kind, ActionSet actions, VersionQuad& version,
                      const StampOptions& options = {});

// The event-log line for a target that was not stamped: its path and the reason in plain words.
std::wstring DescribeStampFailure(const std::wstring& path, const StampResult& result);

// The warning lines for a stamped file, if any, each naming the file.
std::vector<std::wstring> DescribeStampWarnings(const std::wstring& path, const StampResult& result);

// How the ANSI code page of this process splits bytes into characters.
const CharSteps& AnsiCodePageSteps();

}  // namespace kw
