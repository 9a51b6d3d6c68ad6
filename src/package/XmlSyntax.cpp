#include "package/XmlSyntax.h"

#include <cstring>
#include <string>
#include <vector>

namespace kw {

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text) : t_(text) {}

    // The offset of the first mistake, or npos.
    size_t Check() {
        if (At("\xEF\xBB\xBF")) i_ += 3;
        if (At("<?xml") && i_ + 5 < t_.size() && (IsSpace(t_[i_ + 5]) || t_[i_ + 5] == '?')) {
            if (!SkipPast("?>")) return error_;
        }
        if (!Misc(true)) return error_;
        if (!Element()) return error_;
        if (!Misc(false)) return error_;
        return std::string_view::npos;
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool IsNameStart(char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
    }
    static bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
    // Characters XML allows in text: no C0 controls but the three white-space ones.
    static bool IsAllowed(char c) { return static_cast<unsigned char>(c) >= 0x20 || IsSpace(c); }

    bool At(const char* s) const { return t_.substr(i_).compare(0, std::strlen(s), s) == 0; }
    bool AtEnd() const { return i_ >= t_.size(); }
    bool Fail() {
        error_ = i_;
        return false;
    }
    bool Spaces() {
        size_t start = i_;
        while (!AtEnd() && IsSpace(t_[i_])) ++i_;
        return i_ > start;
    }
    bool Name(std::string& name) {
        size_t start = i_;
        if (AtEnd() || !IsNameStart(t_[i_])) return Fail();
        while (!AtEnd() && IsNameChar(t_[i_])) ++i_;
        name.assign(t_.substr(start, i_ - start));
        return true;
    }
    // Moves past the next end marker; a character XML forbids on the way is the mistake.
    bool SkipPast(const char* end) {
        for (; !AtEnd(); ++i_) {
            if (At(end)) {
                i_ += std::strlen(end);
                return true;
            }
            if (!IsAllowed(t_[i_])) return Fail();
        }
        return Fail();
    }
    bool Comment() {
        i_ += 4;
        for (; !AtEnd(); ++i_) {
            if (At("--")) {
                if (!At("-->")) return Fail();
                i_ += 3;
                return true;
            }
            if (!IsAllowed(t_[i_])) return Fail();
        }
        return Fail();
    }
    bool ProcessingInstruction() {
        i_ += 2;
        size_t start = i_;
        std::string target;
        if (!Name(target)) return false;
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l') {
            i_ = start;  // a declaration only at the very start
            return Fail();
        }
        return SkipPast("?>");
    }
    bool Reference() {
        size_t start = i_++;
        if (!AtEnd() && t_[i_] == '#') {
            ++i_;
            bool hex = !AtEnd() && t_[i_] == 'x';
            if (hex) ++i_;
            unsigned long value = 0;
            size_t digits = 0;
            for (; !AtEnd() && t_[i_] != ';'; ++i_, ++digits) {
                char c = t_[i_];
                int d = c >= '0' && c <= '9' ? c - '0'
                        : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                        : -1;
                if (d < 0) return Fail();
                if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (AtEnd() || digits == 0) return Fail();
            bool allowed = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
                           (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
            if (!allowed) {
                i_ = start;
                return Fail();
            }
            ++i_;
            return true;
        }
        std::string name;
        if (!Name(name)) return false;
        if (AtEnd() || t_[i_] != ';') return Fail();
        // Without a document type only the five predefined entities exist.
        if (name != "lt" && name != "gt" && name != "amp" && name != "quot" && name != "apos") {
            i_ = start;
            return Fail();
        }
        ++i_;
        return true;
    }
    bool Element() {
        if (AtEnd() || t_[i_] != '<') return Fail();
        ++i_;
        std::string name;
        if (!Name(name)) return false;
        std::vector<std::string> attributes;
        for (;;) {
            bool spaced = Spaces();
            if (At("/>")) {
                i_ += 2;
                return true;
            }
            if (!AtEnd() && t_[i_] == '>') {
                ++i_;
                break;
            }
            if (!spaced) return Fail();
            size_t start = i_;
            std::string attribute;
            if (!Name(attribute)) return false;
            for (const std::string& seen : attributes) {
                if (seen == attribute) {
                    i_ = start;
                    return Fail();
                }
            }
            attributes.push_back(attribute);
            Spaces();
            if (AtEnd() || t_[i_] != '=') return Fail();
            ++i_;
            Spaces();
            if (AtEnd() || (t_[i_] != '"' && t_[i_] != '\'')) return Fail();
            char quote = t_[i_++];
            while (!AtEnd() && t_[i_] != quote) {
                if (t_[i_] == '<' || !IsAllowed(t_[i_])) return Fail();
                if (t_[i_] == '&') {
                    if (!Reference()) return false;
                } else {
                    ++i_;
                }
            }
            if (AtEnd()) return Fail();
            ++i_;
        }
        // Content, up to the matching end tag.
        for (;;) {
            if (AtEnd()) return Fail();
            if (At("</")) {
                i_ += 2;
                size_t start = i_;
                std::string end;
                if (!Name(end)) return false;
                if (end != name) {
                    i_ = start;
                    return Fail();
                }
                Spaces();
                if (AtEnd() || t_[i_] != '>') return Fail();
                ++i_;
                return true;
            }
            bool ok = true;
            if (At("<!--")) {
                ok = Comment();
            } else if (At("<![CDATA[")) {
                i_ += 9;
                ok = SkipPast("]]>");
            } else if (At("<?")) {
                ok = ProcessingInstruction();
            } else if (At("<!")) {
                return Fail();  // a declaration inside the content
            } else if (t_[i_] == '<') {
                ok = Element();
            } else if (t_[i_] == '&') {
                ok = Reference();
            } else if (At("]]>") || !IsAllowed(t_[i_])) {
                ok = Fail();
            } else {
                ++i_;
            }
            if (!ok) return false;
        }
    }
    // Comments, processing instructions and white space before (and after) the root element.
    bool Misc(bool beforeRoot) {
        for (;;) {
            Spaces();
            if (AtEnd()) return beforeRoot ? Fail() : true;
            bool ok;
            if (At("<!--")) {
                ok = Comment();
            } else if (At("<?")) {
                ok = ProcessingInstruction();
            } else if (beforeRoot && t_[i_] == '<' && !At("<!")) {
                return true;
            } else {
                ok = Fail();
            }
            if (!ok) return false;
        }
    }

    std::string_view t_;
    size_t i_ = 0;
    size_t error_ = std::string_view::npos;
};

}  // namespace

bool FindXmlSyntaxError(std::string_view text, long& line, long& column) {
    size_t at = Scanner(text).Check();
    if (at == std::string_view::npos) return false;
    line = 1;
    column = 1;
    int continuation = 0;  // bytes still to come of a UTF-8 sequence
    for (size_t k = 0; k < at && k < text.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(text[k]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && k + 1 < at && text[k + 1] == '\n') ++k;
            ++line;
            column = 1;
            continuation = 0;
        } else if (continuation > 0 && c >= 0x80 && c < 0xC0) {
            --continuation;
        } else {
            continuation = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            ++column;
        }
    }
    return true;
}

}  // namespace kw
