#include "package/PackageWriter.h"

#include "win/Text.h"

#include <cstdio>
#include <cwchar>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kw {

using namespace std::string_view_literals;

namespace {

enum class Form { Utf8, Utf16, CodePage };

struct Encoding {
    Form form = Form::Utf8;
    UINT codePage = CP_UTF8;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The encoding names a package may declare, and the Windows code page for each. A name not
// here is written as UTF-8 under a declaration that says so.
bool EncodingFromName(const std::string& name, Encoding& encoding) {
    static const std::unordered_map<std::string, UINT> kCodePages = {
        {"us-ascii", 20127},     {"ascii", 20127},        {"iso-8859-1", 28591},  {"latin1", 28591},
        {"iso-8859-2", 28592},   {"iso-8859-3", 28593},   {"iso-8859-4", 28594},  {"iso-8859-5", 28595},
        {"iso-8859-6", 28596},   {"iso-8859-7", 28597},   {"iso-8859-8", 28598},  {"iso-8859-9", 28599},
        {"iso-8859-13", 28603},  {"iso-8859-15", 28605},  {"windows-1250", 1250}, {"windows-1251", 1251},
        {"windows-1252", 1252},  {"windows-1253", 1253},  {"windows-1254", 1254}, {"windows-1255", 1255},
        {"windows-1256", 1256},  {"windows-1257", 1257},  {"windows-1258", 1258}, {"shift_jis", 932},
        {"gb2312", 936},         {"gbk", 936},            {"big5", 950},          {"euc-kr", 949},
        {"koi8-r", 20866},       {"cp1252", 1252},
    };
    const std::string key = Lower(name);
    if (key == "utf-8") {
        encoding = {Form::Utf8, CP_UTF8};
        return true;
    }
    if (key == "utf-16" || key == "ucs-2" || key == "unicode") {
        encoding = {Form::Utf16, 1200};
        return true;
    }
    auto found = kCodePages.find(key);
    if (found == kCodePages.end() || !IsValidCodePage(found->second)) return false;
    encoding = {Form::CodePage, found->second};
    return true;
}

// The declaration with its encoding named anew; one is added when it names none.
std::string WithEncoding(const std::string& declaration, const char* name) {
    size_t at = declaration.find("encoding");
    if (at != std::string::npos) {
        size_t open = declaration.find_first_of("\"'", at);
        size_t close = open == std::string::npos ? open : declaration.find(declaration[open], open + 1);
        if (close != std::string::npos) return declaration.substr(0, open + 1) + name + declaration.substr(close);
    }
    size_t end = declaration.rfind("?>");
    if (end == std::string::npos) return "<?xml version=\"1.0\" encoding=\"" + std::string(name) + "\"?>";
    return declaration.substr(0, end) + " encoding=\"" + name + "\"" + declaration.substr(end);
}

bool IsXmlChar(unsigned long c) {
    if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

class TextWriter {
public:
    TextWriter(const Encoding& encoding, const PackageLayout& layout)
        : encoding_(encoding), newline_(layout.newline.begin(), layout.newline.end()),
          indent_(layout.indent.begin(), layout.indent.end()) {}

    bool NeedsUnicode() const { return needsUnicode_; }
    bool Invalid() const { return invalid_; }
    std::wstring& Out() { return out_; }

    void Line(int depth) {
        out_ += newline_;
        for (int i = 0; i < depth; ++i) out_ += indent_;
    }
    void Markup(const wchar_t* text) { out_ += text; }

    // Text of an element or an attribute value: markup characters escaped, and what the encoding
    // lacks as a character reference. Line breaks in an attribute are references too, or a
    // reader would see blanks.
    void Escaped(const std::wstring& text, bool attribute) {
        for (size_t i = 0; i < text.size();) {
            size_t length = 1;
            unsigned long c = CodePointAt(text, i, length);
            const wchar_t* replacement = nullptr;
            switch (c) {
                case L'&': replacement = L"&amp;"; break;
                case L'<': replacement = L"&lt;"; break;
                case L'>': replacement = L"&gt;"; break;
                case L'"': replacement = attribute ? L"&quot;" : nullptr; break;
                case L'\t': replacement = attribute ? L"&#9;" : nullptr; break;
                case L'\r': replacement = L"&#xD;"; break;  // a raw CR would be read as a line break
                case L'\n': replacement = attribute ? L"&#xA;" : nullptr; break;
                default: break;
            }
            if (replacement) {
                out_ += replacement;
            } else if (c == L'\n') {
                out_ += newline_;
            } else if (!IsXmlChar(c)) {
                invalid_ = true;
            } else if (!Encodable(c, text.data() + i, length)) {
                wchar_t reference[16];
                std::swprintf(reference, 16, L"&#x%lX;", c);
                out_ += reference;
            } else {
                out_.append(text, i, length);
            }
            i += length;
        }
    }

    // Names, comments, processing instructions and CDATA: no reference can stand there.
    void Raw(const std::wstring& text) {
        for (size_t i = 0; i < text.size();) {
            size_t length = 1;
            unsigned long c = CodePointAt(text, i, length);
            if (c == L'\n') {
                out_ += newline_;
            } else {
                if (!IsXmlChar(c)) invalid_ = true;
                if (!Encodable(c, text.data() + i, length)) needsUnicode_ = true;
                out_.append(text, i, length);
            }
            i += length;
        }
    }

private:
    static unsigned long CodePointAt(const std::wstring& text, size_t i, size_t& length) {
        unsigned long c = text[i];
        length = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            length = 2;
            return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        }
        return c;
    }

    // Whether the character survives the trip into the code page and back unchanged: no
    // default character, no best fit (e becomes e without its accent).
    bool Encodable(unsigned long c, const wchar_t* units, size_t length) {
        if (encoding_.form != Form::CodePage || c < 0x80) return true;
        auto known = encodable_.find(c);
        if (known != encodable_.end()) return known->second;
        char bytes[16];
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(encoding_.codePage, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(length), bytes,
                                    sizeof bytes, nullptr, &usedDefault);
        wchar_t back[4];
        int m = n > 0 ? MultiByteToWideChar(encoding_.codePage, MB_ERR_INVALID_CHARS, bytes, n, back, 4) : 0;
        bool ok = n > 0 && !usedDefault && m == static_cast<int>(length) &&
                  std::wmemcmp(back, units, length) == 0;
        encodable_.emplace(c, ok);
        return ok;
    }

    Encoding encoding_;
    std::wstring newline_;
    std::wstring indent_;
    std::wstring out_;
    std::unordered_map<unsigned long, bool> encodable_;
    bool needsUnicode_ = false;
    bool invalid_ = false;
};

bool NodeString(IXMLDOMNode* node, std::wstring& value) {
    value.clear();
    Variant v;
    if (FAILED(node->get_nodeValue(v.Out()))) return false;
    if (v.Get().vt == VT_BSTR && v.Get().bstrVal) value.assign(v.Get().bstrVal, SysStringLen(v.Get().bstrVal));
    return true;
}

bool NodeName(IXMLDOMNode* node, std::wstring& name) {
    Bstr text;
    if (FAILED(node->get_nodeName(text.Out())) || !text.Get()) return false;
    name = text.Str();
    return true;
}

bool Children(IXMLDOMNode* node, std::vector<ComPtr<IXMLDOMNode>>& children) {
    children.clear();
    ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.GetAddressOf()))) return false;
    while (child) {
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.GetAddressOf()))) return false;
        children.push_back(std::move(child));
        child = std::move(next);
    }
    return true;
}

bool WriteNode(TextWriter& writer, IXMLDOMNode* node, int depth);

bool WriteElement(TextWriter& writer, IXMLDOMNode* element, int depth) {
    std::wstring name;
    if (!NodeName(element, name)) return false;
    writer.Markup(L"<");
    writer.Raw(name);

    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(element->get_attributes(attributes.GetAddressOf()))) return false;
    long count = 0;
    if (attributes && FAILED(attributes->get_length(&count))) return false;
    // Namespace declarations first, as files are written by hand: not every library lists them in
    // the order they stood, and a fixed order keeps two saves alike.
    std::vector<std::pair<std::wstring, std::wstring>> declarations, others;
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        std::wstring attributeName;
        std::wstring value;
        if (FAILED(attributes->get_item(i, attribute.GetAddressOf())) || !attribute ||
            !NodeName(attribute.Get(), attributeName) || !NodeString(attribute.Get(), value)) {
            return false;
        }
        bool declaration = attributeName.compare(0, 5, L"xmlns") == 0 &&
                           (attributeName.size() == 5 || attributeName[5] == L':');
        (declaration ? declarations : others).emplace_back(std::move(attributeName), std::move(value));
    }
    declarations.insert(declarations.end(), others.begin(), others.end());
    for (const auto& attribute : declarations) {
        writer.Markup(L" ");
        writer.Raw(attribute.first);
        writer.Markup(L"=\"");
        writer.Escaped(attribute.second, true);
        writer.Markup(L"\"");
    }

    // Empty text nodes (a value element made for an empty value) write nothing, so an element
    // holding one reads back, and saves again, as the empty element it is.
    std::vector<ComPtr<IXMLDOMNode>> all;
    if (!Children(element, all)) return false;
    std::vector<ComPtr<IXMLDOMNode>> children;
    bool inlineContent = depth < 0;
    for (auto& child : all) {
        DOMNodeType type = NODE_INVALID;
        if (FAILED(child->get_nodeType(&type))) return false;
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION || type == NODE_ENTITY_REFERENCE) {
            std::wstring value;
            if (type == NODE_TEXT && NodeString(child.Get(), value) && value.empty()) continue;
            inlineContent = true;
        }
        children.push_back(std::move(child));
    }
    if (children.empty()) {
        writer.Markup(L"/>");
        return true;
    }
    writer.Markup(L">");
    // Text is written as it stands, with no layout added inside: blanks there would be part of
    // the value. Elements that hold only elements get one line each.
    for (auto& child : children) {
        if (!inlineContent) writer.Line(depth + 1);
        if (!WriteNode(writer, child.Get(), inlineContent ? -1 : depth + 1)) return false;  // -1: no layout
    }
    if (!inlineContent) writer.Line(depth);
    writer.Markup(L"</");
    writer.Raw(name);
    writer.Markup(L">");
    return true;
}

// depth -1: inside text, where no layout may be added.
bool WriteNode(TextWriter& writer, IXMLDOMNode* node, int depth) {
    DOMNodeType type = NODE_INVALID;
    if (FAILED(node->get_nodeType(&type))) return false;
    std::wstring value;
    switch (type) {
        case NODE_ELEMENT:
            return WriteElement(writer, node, depth);
        case NODE_TEXT:
            if (!NodeString(node, value)) return false;
            // A value of blanks alone would be taken for layout and dropped on reading; in a
            // CDATA section it is read back as written (a CR there would become a LF).
            if (!value.empty() && value.find_first_not_of(L" \t\n") == std::wstring::npos) {
                writer.Markup(L"<![CDATA[");
                writer.Raw(value);
                writer.Markup(L"]]>");
                return true;
            }
            writer.Escaped(value, false);
            return true;
        case NODE_CDATA_SECTION:
            if (!NodeString(node, value)) return false;
            writer.Markup(L"<![CDATA[");
            writer.Raw(value);
            writer.Markup(L"]]>");
            return true;
        case NODE_COMMENT:
            if (!NodeString(node, value)) return false;
            writer.Markup(L"<!--");
            writer.Raw(value);
            writer.Markup(L"-->");
            return true;
        case NODE_PROCESSING_INSTRUCTION: {
            std::wstring target;
            if (!NodeName(node, target) || !NodeString(node, value)) return false;
            writer.Markup(L"<?");
            writer.Raw(target);
            if (!value.empty()) {
                writer.Markup(L" ");
                writer.Raw(value);
            }
            writer.Markup(L"?>");
            return true;
        }
        case NODE_ENTITY_REFERENCE: {
            // Only the predefined entities can occur (declarations are refused): write the text.
            std::vector<ComPtr<IXMLDOMNode>> children;
            if (!Children(node, children)) return false;
            for (auto& child : children) {
                if (!WriteNode(writer, child.Get(), -1)) return false;
            }
            return true;
        }
        default:
            return true;
    }
}

bool IsDeclaration(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    std::wstring name;
    return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_PROCESSING_INSTRUCTION && NodeName(node, name) &&
           name == L"xml";
}

// 0 written; 1 the encoding can't carry a name or comment; -1 failure.
int WriteWith(IXMLDOMNode* document, const PackageLayout& layout, const Encoding& encoding,
              const std::string& declaration, std::wstring& text) {
    TextWriter writer(encoding, layout);
    std::vector<ComPtr<IXMLDOMNode>> children;
    if (!Children(document, children)) return -1;
    bool first = true;
    if (!declaration.empty()) {
        writer.Out().assign(declaration.begin(), declaration.end());
        first = false;
    }
    for (auto& child : children) {
        if (IsDeclaration(child.Get())) continue;
        if (!first) writer.Line(0);
        first = false;
        if (!WriteNode(writer, child.Get(), 0)) return -1;
    }
    writer.Line(0);
    if (writer.Invalid()) return -1;
    if (writer.NeedsUnicode()) return 1;
    text = std::move(writer.Out());
    return 0;
}

}  // namespace

PackageLayout DetectPackageLayout(const std::string& bytes) {
    PackageLayout layout;
    auto starts = [&](std::string_view prefix) { return bytes.compare(0, prefix.size(), prefix) == 0; };
    size_t skip = 0;
    if (starts("\xEF\xBB\xBF"sv)) {
        layout.byteOrderMark = true, skip = 3;
    } else if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv)) {
        layout.utf16 = layout.byteOrderMark = true, layout.bigEndian = bytes[0] == '\xFE', skip = 2;
    } else if (starts("<\0"sv) || starts("\0<"sv)) {
        layout.utf16 = true, layout.bigEndian = bytes[0] == '\0';
    }
    // One byte per character, enough to read the declaration and the layout: UTF-16 characters
    // beyond ASCII show as 'x'. The head of the file tells all that.
    const size_t kHead = 64 * 1024;
    std::string text;
    if (layout.utf16) {
        for (size_t i = skip; i + 1 < bytes.size() && text.size() < kHead; i += 2) {
            char high = bytes[i + (layout.bigEndian ? 0 : 1)];
            char low = bytes[i + (layout.bigEndian ? 1 : 0)];
            text += high == '\0' && static_cast<unsigned char>(low) < 0x80 ? low : 'x';
        }
    } else {
        text = bytes.substr(skip, kHead);
    }

    if (text.compare(0, 5, "<?xml") == 0 && text.size() > 5 && (text[5] == ' ' || text[5] == '\t' ||
                                                                 text[5] == '\r' || text[5] == '\n')) {
        size_t end = text.find("?>");
        if (end != std::string::npos) {
            layout.declaration = text.substr(0, end + 2);
            size_t at = layout.declaration.find("encoding");
            size_t open = at == std::string::npos ? at : layout.declaration.find_first_of("\"'", at);
            size_t close = open == std::string::npos ? open : layout.declaration.find(layout.declaration[open], open + 1);
            if (close != std::string::npos) layout.encoding = layout.declaration.substr(open + 1, close - open - 1);
        }
    }

    size_t lineBreak = text.find('\n');
    if (lineBreak != std::string::npos) {
        layout.newline = lineBreak > 0 && text[lineBreak - 1] == '\r' ? "\r\n" : "\n";
        // The first indented line that starts with markup gives one step of indentation.
        for (; lineBreak != std::string::npos; lineBreak = text.find('\n', lineBreak + 1)) {
            size_t start = lineBreak + 1;
            size_t end = text.find_first_not_of(" \t", start);
            if (end == std::string::npos) break;
            if (end > start && end - start <= 8 && text[end] == '<') {
                layout.indent = text.substr(start, end - start);
                break;
            }
        }
    }
    return layout;
}

PackageLayout NewPackageLayout() {
    PackageLayout layout;
    layout.declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    layout.encoding = "UTF-8";
    return layout;
}

int WritePackageText(IXMLDOMNode* document, const PackageLayout& layout, std::string& bytes) {
    bytes.clear();
    if (!document) return -1;

    // The encoding the file says it is in. A UTF-16 file is written as UTF-16 whatever its
    // declaration says, and then says so; an unknown name becomes UTF-8, declared.
    Encoding encoding;
    std::string declaration = layout.declaration;
    if (layout.utf16) {
        encoding = {Form::Utf16, 1200};
        Encoding named;
        if (!layout.encoding.empty() && (!EncodingFromName(layout.encoding, named) || named.form != Form::Utf16)) {
            declaration = WithEncoding(declaration, "UTF-16");
        }
    } else if (!layout.encoding.empty()) {
        if (!EncodingFromName(layout.encoding, encoding) || encoding.form == Form::Utf16) {
            encoding = Encoding{};
            declaration = WithEncoding(declaration, "UTF-8");
        }
    }

    std::wstring text;
    int written = WriteWith(document, layout, encoding, declaration, text);
    bool byteOrderMark = layout.byteOrderMark;
    if (written == 1) {
        encoding = Encoding{};
        byteOrderMark = false;
        written = WriteWith(document, layout, encoding, WithEncoding(declaration, "UTF-8"), text);
    }
    if (written != 0) return -1;

    switch (encoding.form) {
        case Form::Utf8:
            bytes = (byteOrderMark ? "\xEF\xBB\xBF" : "") + ToUtf8(text);
            break;
        case Form::Utf16:
            if (byteOrderMark) text.insert(text.begin(), 0xFEFF);
            bytes.reserve(text.size() * 2);
            for (wchar_t c : text) {
                char low = static_cast<char>(c & 0xFF);
                char high = static_cast<char>((c >> 8) & 0xFF);
                bytes += layout.bigEndian ? high : low;
                bytes += layout.bigEndian ? low : high;
            }
            break;
        case Form::CodePage: {
            int n = WideCharToMultiByte(encoding.codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
            if (n <= 0) return -1;
            bytes.resize(static_cast<size_t>(n));
            if (WideCharToMultiByte(encoding.codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                                    nullptr, nullptr) != n) {
                bytes.clear();
                return -1;
            }
            break;
        }
    }
    return 0;
}

}  // namespace kw
