// Text conversion between the system's UTF-16 strings and the 8-bit texts of files and consoles.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// 8-bit text in the given code page (CP_ACP, CP_UTF8, ...) to UTF-16; "" when it can't be read.
std::wstring Widen(unsigned codePage, std::string_view bytes);

// 8-bit text in the ANSI code page (resource scripts, builder logs) to UTF-16 and back.
std::wstring FromAnsi(std::string_view bytes);
std::string ToAnsi(std::wstring_view text);

// The first count characters of text, never ending in the first half of a surrogate pair.
std::wstring Prefix(const std::wstring& text, size_t count);

// A string from the program's string table; empty when the entry is missing.
std::wstring LoadResourceString(unsigned id);

// printf-style formatting into a std::wstring.
std::wstring FormatW(const wchar_t* format, ...);

// Text from a package or a builder made safe to print as (part of) one line: CR, LF and TAB
// become \r, \n, \t; every other C0/C1 control, DEL, the line and paragraph separators
// U+2028/U+2029, the bidirectional controls (U+061C, U+200E/F, U+202A-E, U+2066-9) and unpaired
// surrogates become \uXXXX. A backslash stays as it is, so paths read as written and escaping
// twice changes nothing.
std::wstring EscapeForDisplay(std::wstring_view text);

}  // namespace kw
