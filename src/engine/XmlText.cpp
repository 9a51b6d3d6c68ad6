#include "engine/XmlText.h"

namespace kw {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

void AppendXmlText(std::string& out, std::wstring_view text, bool attribute) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
            c = kReplacement;
        }
        switch (c) {
        case U'&': out += "&amp;"; continue;
        case U'<': out += "&lt;"; continue;
        case U'>': out += "&gt;"; continue;  // also keeps "]]>" out of any text
        case U'"': out += attribute ? "&quot;" : "\""; continue;
        case U'\r': out += "&#13;"; continue;  // a parser would drop or fold a raw one
        case U'\t': out += attribute ? "&#9;" : "\t"; continue;
        case U'\n': out += attribute ? "&#10;" : "\n"; continue;
        default: break;
        }
        if (c < 0x20) c = 0x2400 + c;  // NUL shows as U+2400, BEL as U+2407, ...
        else if (c == 0x7F) c = 0x2421;
        AppendUtf8(out, c);
    }
}

std::string XmlText(std::wstring_view text, bool attribute) {
    std::string out;
    AppendXmlText(out, text, attribute);
    return out;
}

}  // namespace kw
