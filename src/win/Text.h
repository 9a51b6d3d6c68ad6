// Text conversion between the system's UTF-16 strings and the 8-bit texts of files and consoles.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// 8-bit text in the ANSI code page (resource scripts, builder logs) to UTF-16 and back.
std::wstring FromAnsi(std::string_view bytes);
std::string ToAnsi(std::wstring_view text);

// A string from the program's string table; empty when the entry is missing.
std::wstring LoadResourceString(unsigned id);

// printf-style formatting into a std::wstring.
std::wstring FormatW(const wchar_t* format, ...);

}  // namespace kw
