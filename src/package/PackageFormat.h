// The text rules of the package file: how values are read and written. Pure functions.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kw {

enum CompilerKind : int {
    CompilerUnknown = 0,
    CompilerVC6 = 1,
    CompilerVB6 = 2,
};

// Element names, exactly as stored.
namespace element {
inline constexpr wchar_t kPackage[] = L"Package";
inline constexpr wchar_t kName[] = L"Name";
inline constexpr wchar_t kCurrentVersion[] = L"CurrentVersion";
inline constexpr wchar_t kProjects[] = L"Projects";
inline constexpr wchar_t kProject[] = L"Project";
inline constexpr wchar_t kTempData[] = L"TempData";
inline constexpr wchar_t kProjectId[] = L"ProjectID";
inline constexpr wchar_t kSourceLocation[] = L"SourceLocation";
inline constexpr wchar_t kCompiler[] = L"Compiler";
inline constexpr wchar_t kDebugConfig[] = L"DebugConfig";
inline constexpr wchar_t kReleaseConfig[] = L"ReleaseConfig";
inline constexpr wchar_t kResourceFile[] = L"ResourceFile";
inline constexpr wchar_t kRegistrable[] = L"Registrable";
inline constexpr wchar_t kDependencies[] = L"Dependencies";
}  // namespace element

// The name of a package made by CreatePackage until the user names it.
inline constexpr wchar_t kNewPackageName[] = L"<insert a name here>";
inline constexpr wchar_t kDefaultDebugConfig[] = L"Win32 Debug";
inline constexpr wchar_t kDefaultReleaseConfig[] = L"Win32 Release";
inline constexpr wchar_t kNewPackageVersion[] = L"1.0.0.0";
inline constexpr size_t kMaxPathPart = 255;

// "VC6" -> 1, "VB6" -> 2, anything else 0 (case-sensitive).
CompilerKind CompilerKindFromText(std::wstring_view text);
// 1 -> "VC6", everything else "VB6" (as the editor stages it).
const wchar_t* CompilerTextForStaging(int kind);

// False for the empty text and for "N" in either case; true otherwise.
bool RegistrableFromText(std::wstring_view text);

// Reads a decimal integer the C runtime way: leading blanks skipped, an optional sign, then the
// digits up to the first other character; no digits gives 0. Only the first 19 characters count,
// and the value saturates at the 32-bit limits instead of overflowing.
int ParseProjectId(std::wstring_view text);

// Splits CurrentVersion at "." into four parts; empty parts become "0" unless the whole text is
// empty, which gives four empty parts. Text after a fourth "." is ignored.
std::array<std::wstring, 4> SplitVersionText(std::wstring_view text);

// Joins four parts with "." as they are.
std::wstring JoinVersionText(std::wstring_view major, std::wstring_view minor,
                             std::wstring_view build, std::wstring_view revision);

// A project file path taken apart for AddProject.
struct ProjectFileParts {
    std::wstring folder;    // without trailing separator; empty when the separator came first
    std::wstring baseName;  // between the separator and the last "."
    CompilerKind kind = CompilerUnknown;
};

// 0 parsed; -1 empty path; -2 no ".", unknown extension, no separator, or a part too long.
int SplitProjectFilePath(std::wstring_view path, ProjectFileParts& parts);

// The default resource file of a project: folder\base.rc (VC6) or folder\base.vbp (VB6).
std::wstring DefaultResourceFile(const ProjectFileParts& parts);

}  // namespace kw
