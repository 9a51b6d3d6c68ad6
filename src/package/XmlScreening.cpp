#include "package/XmlScreening.h"

#include <cstring>
#include <string_view>

namespace kw {

using namespace std::string_view_literals;

namespace {

// Whether raw file bytes carry a document type declaration, in any of the encodings an XML
// parser would detect. Such files are refused before they reach the parser, so no entity is
// ever expanded and no external file or DTD is ever fetched.
bool HasDoctype(const std::string& bytes) {
    static const char kMarker[] = "<!DOCTYPE";
    const size_t n = sizeof(kMarker) - 1;
    // The marker's characters `stride` bytes apart from start: one byte each in 8-bit text and
    // UTF-8, every second byte in UTF-16 and every fourth in UTF-32. The zero bytes between are
    // not looked at, so either byte order matches from the byte that holds the '<'.
    auto matchesAt = [&](size_t start, size_t stride) {
        for (size_t k = 0; k < n; ++k) {
            size_t pos = start + k * stride;
            if (pos >= bytes.size()) return false;
            char c = bytes[pos];
            char want = kMarker[k];
            if (c != want && !(want >= 'A' && want <= 'Z' && c == want + ('a' - 'A'))) return false;
        }
        return true;
    };
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '<') continue;
        for (size_t stride : {1, 2, 4}) {
            if (matchesAt(i, stride)) return true;
        }
    }
    return false;
}

}  // namespace

std::string CharactersOf(const std::string& bytes) {
    auto starts = [&](std::string_view prefix) { return bytes.compare(0, prefix.size(), prefix) == 0; };
    size_t unit = 1;
    size_t low = 0;  // offset of the byte that carries an ASCII character within a unit
    if (starts("\0\0\xFE\xFF"sv) || starts("\0\0\0<"sv)) {
        unit = 4, low = 3;
    } else if (starts("\xFF\xFE\0\0"sv) || starts("<\0\0\0"sv)) {
        unit = 4, low = 0;
    } else if (starts("\xFE\xFF"sv) || starts("\0<"sv)) {
        unit = 2, low = 1;
    } else if (starts("\xFF\xFE"sv) || starts("<\0"sv)) {
        unit = 2, low = 0;
    }
    if (unit == 1) return bytes;
    std::string text;
    text.reserve(bytes.size() / unit);
    for (size_t i = 0; i + unit <= bytes.size(); i += unit) {
        bool ascii = static_cast<unsigned char>(bytes[i + low]) < 0x80;
        for (size_t k = 0; k < unit && ascii; ++k) ascii = k == low || bytes[i + k] == '\0';
        text += ascii ? bytes[i + low] : 'x';
    }
    return text;
}

namespace {

// Whether elements nest deeper than limit. Counted on the text itself, so a parser without a
// depth limit of its own never sees such a file; comments, CDATA sections, processing
// instructions and quoted attribute values are skipped, so nothing in them counts.
bool NestsDeeperThan(const std::string& text, int limit) {
    int depth = 0;
    size_t i = 0;
    auto skipPast = [&](const char* end) {
        size_t found = text.find(end, i);
        i = found == std::string::npos ? text.size() : found + std::strlen(end);
    };
    while ((i = text.find('<', i)) != std::string::npos) {
        if (text.compare(i, 4, "<!--") == 0) {
            skipPast("-->");
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            skipPast("]]>");
        } else if (text.compare(i, 2, "<?") == 0) {
            skipPast("?>");
        } else if (text.compare(i, 2, "</") == 0) {
            --depth;
            skipPast(">");
        } else {
            // A start tag: find its end outside quoted values; "/>" closes it at once.
            char quote = 0;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                char c = text[j];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= text.size()) return false;
            if (text[j - 1] != '/' && ++depth > limit) return true;
            i = j + 1;
        }
    }
    return false;
}

}  // namespace

XmlScreen ScreenXml(const std::string& bytes, int maxDepth) {
    if (HasDoctype(bytes)) return XmlScreen::DocumentType;
    if (NestsDeeperThan(CharactersOf(bytes), maxDepth)) return XmlScreen::TooDeep;
    return XmlScreen::Accepted;
}

}  // namespace kw
