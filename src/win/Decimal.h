// One way to read a decimal number. Every reader finds the digits the same way; they differ only
// in what they accept around them and in what a number out of range becomes, and each field of
// the system names the reader its rule is.
#pragma once

#include <cstdint>
#include <string_view>

namespace kw {

// The C runtime's way (strtol, strtoul): leading white space (blank, tab, CR, LF, VT, FF)
// skipped, an optional sign, then the digits up to the first other character; no digits gives 0.
// Reading starts at pos; a pos past the end gives 0.
//  - ReadRuntimeInt32 saturates at the signed 32-bit limits.
//  - ReadRuntimeUInt32 saturates at 4294967295 when the digits alone exceed it (whatever the
//    sign); otherwise a minus sign negates modulo 2^32, so "-1" gives 4294967295.
std::int32_t ReadRuntimeInt32(std::string_view text, size_t pos = 0);
std::int32_t ReadRuntimeInt32(std::wstring_view text, size_t pos = 0);
std::uint32_t ReadRuntimeUInt32(std::string_view text, size_t pos = 0);
std::uint32_t ReadRuntimeUInt32(std::wstring_view text, size_t pos = 0);

// The whole text is the number, or it is refused (false, value untouched):
//  - ParseWholeInt32: an optional sign and digits, nothing else (no blanks); out of the signed
//    32-bit range refused.
//  - ParseDigits: digits only (no sign, no blanks), at most max.
bool ParseWholeInt32(std::wstring_view text, std::int32_t& value);
bool ParseDigits(std::wstring_view text, std::uint32_t max, std::uint32_t& value);
bool ParseDigits(std::string_view text, std::uint32_t max, std::uint32_t& value);

}  // namespace kw
