// Text as the bytes of a wide encoding, for files in UTF-16 or UTF-32.
#pragma once

#include <string>

namespace kwtest {

// Each character of text in a unit of unitBytes (2 or 4), low byte first unless bigEndian. A
// character needing more than 16 bits is given as its surrogate pair.
inline std::string WideBytes(const std::wstring& text, size_t unitBytes, bool bigEndian) {
    std::string bytes;
    for (wchar_t c : text) {
        std::string unit(unitBytes, '\0');
        unit[bigEndian ? unitBytes - 1 : 0] = static_cast<char>(c & 0xFF);
        unit[bigEndian ? unitBytes - 2 : 1] = static_cast<char>((c >> 8) & 0xFF);
        bytes += unit;
    }
    return bytes;
}

}  // namespace kwtest
