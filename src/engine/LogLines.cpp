#include "engine/LogLines.h"

#include "win/Text.h"

#include <cstring>
#include <cwchar>

namespace kw {

bool TakeNextLine(std::wstring& buffer, std::wstring& line) {
    for (;;) {
        if (buffer.empty()) return false;
        size_t pair = buffer.find(L"\r\n");
        if (pair == std::wstring::npos) {
            line.swap(buffer);
            buffer.clear();
            return true;
        }
        if (pair == 0) {
            buffer.erase(0, 2);
            continue;
        }
        line.assign(buffer, 0, pair);
        buffer.erase(0, pair + 2);
        return true;
    }
}

std::vector<std::wstring> LogTextLines(const LogText* logText) {
    std::vector<std::wstring> lines;
    if (!logText) return lines;
    if (logText->isWide) {
        const auto* text = static_cast<const wchar_t*>(logText->text);
        lines.emplace_back(text ? text : L"");
        return lines;
    }
    const auto* bytes = static_cast<const char*>(logText->text);
    std::wstring buffer = bytes ? FromAnsi(std::string_view(bytes, std::strlen(bytes))) : std::wstring();
    std::wstring line;
    while (TakeNextLine(buffer, line)) lines.push_back(line);
    return lines;
}

}  // namespace kw
