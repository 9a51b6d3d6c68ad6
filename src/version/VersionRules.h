// The version line rules: how one line of a resource script or of a Visual Basic project file is
// rewritten when versions are set or incremented. Pure functions over one line, no files and no
// windows.
//
// A line is the text up to and including its CR LF. It comes in one of two forms:
//  - bytes (std::string) for 8-bit files: ANSI code page or UTF-8. Markers, separators and numbers
//    are ASCII; CharSteps says how many bytes each character takes, so a position "n characters
//    on" never lands inside a double-byte or UTF-8 character;
//  - UTF-16 code units in host order (std::wstring) for UTF-16 files. A surrogate pair counts as
//    one character.
// Everything before the value start of a line is kept unit for unit.
#pragma once

#include "version/RunValues.h"
#include "package/PackageFormat.h"

#include <array>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// The byte length of the character that starts with each byte of an 8-bit text.
class CharSteps {
public:
    // Every byte is a character (Windows-1252 and the other single-byte code pages).
    static CharSteps SingleByte();
    // UTF-8: a lead byte and its continuation bytes form one character.
    static CharSteps Utf8();
    // A double-byte code page given by its lead-byte ranges (pairs of first and last lead byte,
    // as GetCPInfo reports them), e.g. {0x81, 0x9F, 0xE0, 0xFC} for Shift-JIS.
    static CharSteps DoubleByte(std::initializer_list<unsigned char> leadRanges);

    // The position of the character after the one at pos. A lead byte whose following bytes are
    // missing, or are a line break, counts as a character of its own.
    size_t Next(std::string_view text, size_t pos) const;

private:
    std::array<std::uint8_t, 256> length_{};
};

// What the rules met on the lines given to them. Flags are only ever set, so one report can
// gather a whole file.
struct LineReport {
    bool versionLine = false;       // a version line of the kind (changed or not)
    bool wroteAbove16Bits = false;  // a version part now in the file is above 65535
    bool readOutOfRange = false;    // a number read was negative or too large for its part
    // The numbers the last line rewritten with a version now holds (a project file's revision as
    // the third, the fourth as the run's numbers have it); set with wroteVersion.
    bool wroteVersion = false;
    VersionQuad written;
};

// The rules of a project kind: resource script for CompilerVC6, project file for CompilerVB6.
// Other kinds have no rules; the caller refuses them before any line is read. report, when
// given, gathers what the line was and held.
std::wstring ApplyVersionRules(CompilerKind kind, std::string& line, ActionSet actions, VersionQuad& version,
                               const CharSteps& steps, LineReport* report = nullptr);
std::wstring ApplyVersionRules(CompilerKind kind, std::wstring& line, ActionSet actions, VersionQuad& version,
                               LineReport* report = nullptr);

// Every marker and key holds a capital V followed by E or e ("VERSION", "Version", "Ver"), so
// text without such a pair passes every rule unchanged and may be copied without a look.
template <typename Unit>
constexpr bool IsVersionHint(Unit first, Unit second) {
    return first == 'V' && (second == 'E' || second == 'e');
}

// Reads the number of a version line at pos the C runtime way (ReadRuntimeUInt32): white space
// skipped, an optional sign, then the digits up to the first other character; no digits gives 0.
// As an unsigned 32-bit version part: too large saturates at 4294967295, a minus sign negates
// modulo 2^32 (as strtoul does).
std::uint32_t ReadVersionLineNumber(std::string_view text, size_t pos);
std::uint32_t ReadVersionLineNumber(std::wstring_view text, size_t pos);
// As a signed 32-bit number (ReadRuntimeInt32): saturates at the signed limits (as atol does).
std::int32_t ReadSignedNumber(std::string_view text, size_t pos);
std::int32_t ReadSignedNumber(std::wstring_view text, size_t pos);

// RevisionVer + 1 in signed 32-bit arithmetic: the largest value wraps to the smallest.
std::int32_t NextRevision(std::int32_t revision);

}  // namespace kw
