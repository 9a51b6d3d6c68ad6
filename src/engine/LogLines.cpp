#include "engine/LogLines.h"

#include "win/Text.h"

#include <windows.h>

namespace kw {

namespace {

std::vector<std::wstring> SplitLines(std::string_view bytes, unsigned codePage) {
    std::vector<std::wstring> lines;
    std::wstring buffer = Widen(codePage, bytes);
    std::wstring line;
    while (TakeNextLine(buffer, line)) lines.push_back(line);
    return lines;
}

// The largest length up to limit that doesn't cut a double-byte character in two.
size_t CharacterBoundary(std::string_view bytes, size_t limit, unsigned codePage) {
    size_t pos = 0;
    while (pos < limit) {
        size_t step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[pos])) ? 2 : 1;
        if (pos + step > limit) break;
        pos += step;
    }
    return pos;
}

}  // namespace

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

std::vector<std::wstring> LogLineJoiner::Feed(std::string_view piece) {
    pending_.append(piece.data(), piece.size());
    size_t pair = pending_.rfind("\r\n");
    size_t whole = pair == std::string::npos ? 0 : pair + 2;
    if (pending_.size() - whole > kMaxPendingBytes) {
        whole += CharacterBoundary(std::string_view(pending_).substr(whole), pending_.size() - whole, codePage_);
    }
    std::vector<std::wstring> lines = SplitLines(std::string_view(pending_).substr(0, whole), codePage_);
    pending_.erase(0, whole);
    return lines;
}

std::vector<std::wstring> LogLineJoiner::Flush() {
    std::vector<std::wstring> lines = SplitLines(pending_, codePage_);
    pending_.clear();
    return lines;
}

}  // namespace kw
