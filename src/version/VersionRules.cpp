#include "version/VersionRules.h"

#include "win/Decimal.h"
#include "win/Text.h"

#include <climits>
#include <limits>

namespace kw {

namespace {

// Where the number part of a resource-script version line starts, and how it is written.
struct ResourceVersionMarker {
    size_t valueStart = 0;     // index (bytes or units) of the first character of the value
    bool stringValue = false;  // "1.0.0.1\0" style; otherwise a FILEVERSION 1,0,0,1 statement
    bool logIncrement = false; // the ProductVersion string value reports its new numbers
};

// ---- characters ---------------------------------------------------------------------------

// UTF-16 lines: a surrogate pair is one character.
struct Utf16Steps {
    size_t Next(std::wstring_view text, size_t pos) const {
        if (pos + 1 < text.size() && text[pos] >= 0xD800 && text[pos] <= 0xDBFF && text[pos + 1] >= 0xDC00 &&
            text[pos + 1] <= 0xDFFF) {
            return pos + 2;
        }
        return pos + 1;
    }
};

template <typename Unit, typename Steps>
size_t Advance(std::basic_string_view<Unit> text, size_t pos, size_t characters, const Steps& steps) {
    for (size_t i = 0; i < characters; ++i) pos = steps.Next(text, pos);
    return pos;
}

// ---- the ASCII texts of the rules, in either unit -----------------------------------------

template <typename Unit>
struct Words {
    using String = std::basic_string<Unit>;
    static String Make(const char* ascii) { return String(ascii, ascii + std::char_traits<char>::length(ascii)); }

    String fileVersionStatement = Make("FILEVERSION");
    String productVersionStatement = Make("PRODUCTVERSION");
    String value = Make("VALUE");
    String fileVersionName = Make("\"FileVersion\"");
    String productVersionName = Make("\"ProductVersion\"");
    // Each key with its equals sign.
    String majorVer = Make("MajorVer=");
    String minorVer = Make("MinorVer=");
    String revisionVer = Make("RevisionVer=");

    static const Words& Get() {
        static const Words words;
        return words;
    }
};

template <typename Unit>
bool IsSpace(Unit c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Unit>
bool IsBlank(Unit c) {
    return c == ' ' || c == '\t';
}

template <typename Unit>
bool IsWordCharacter(Unit c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

template <typename Unit>
size_t SkipBlanks(std::basic_string_view<Unit> line, size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    return pos;
}

// True when text stands at pos. Everything before pos is ASCII, so pos starts a character.
template <typename Unit>
bool TextAt(std::basic_string_view<Unit> line, size_t pos, const std::basic_string<Unit>& text) {
    return pos <= line.size() && line.compare(pos, text.size(), text) == 0;
}

// True when word stands at pos as a whole word, not as the start of a longer one.
template <typename Unit>
bool WordAt(std::basic_string_view<Unit> line, size_t pos, const std::basic_string<Unit>& word) {
    if (!TextAt(line, pos, word)) return false;
    const size_t end = pos + word.size();
    return end == line.size() || !IsWordCharacter(line[end]);
}

// Sign and magnitude of the decimal number at pos; the magnitude stops growing past 2^33.
template <typename Unit>
void ReadDecimal(std::basic_string_view<Unit> text, size_t pos, bool& negative, std::uint64_t& magnitude) {
    negative = false;
    magnitude = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::uint64_t kCap = std::uint64_t(1) << 33;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (magnitude < kCap) magnitude = magnitude * 10 + static_cast<unsigned>(text[pos] - '0');
    }
}

template <typename Unit>
std::uint32_t ReadUnsigned(std::basic_string_view<Unit> text, size_t pos) {
    return ReadRuntimeUInt32(text, pos);
}

template <typename Unit>
std::int32_t ReadSigned(std::basic_string_view<Unit> text, size_t pos) {
    return ReadRuntimeInt32(text, pos);
}

// True when the number at pos is negative or larger than largest: it can't be read as it
// stands, so what is stamped from it is not what the file said.
template <typename Unit>
bool NumberOutOfRange(std::basic_string_view<Unit> text, size_t pos, std::uint64_t largest) {
    bool negative = false;
    std::uint64_t magnitude = 0;
    ReadDecimal(text, pos, negative, magnitude);
    return (negative && magnitude != 0) || magnitude > largest;
}

constexpr std::uint32_t kLargest16Bit = 0xFFFF;

bool AnyAbove16Bits(const VersionQuad& v) {
    return v.major > kLargest16Bit || v.minor > kLargest16Bit || v.build > kLargest16Bit ||
           v.revision > kLargest16Bit;
}

template <typename Unit>
void AppendUnsigned(std::basic_string<Unit>& out, std::uint32_t value) {
    Unit digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<Unit>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out.push_back(digits[--n]);
}

template <typename Unit>
void AppendSigned(std::basic_string<Unit>& out, std::int32_t value) {
    if (value < 0) {
        out.push_back(static_cast<Unit>('-'));
        // Magnitude in unsigned arithmetic, so the smallest value needs no negation.
        AppendUnsigned(out, 0u - static_cast<std::uint32_t>(value));
    } else {
        AppendUnsigned(out, static_cast<std::uint32_t>(value));
    }
}

template <typename Unit>
void AppendAscii(std::basic_string<Unit>& out, const char* ascii) {
    for (; *ascii; ++ascii) out.push_back(static_cast<Unit>(*ascii));
}

// Length of the line without its closing CR LF.
template <typename Unit>
size_t TextLength(const std::basic_string<Unit>& line) {
    size_t n = line.size();
    if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') return n - 2;
    return n;
}

// The text before the value start, then the four numbers in the line's form.
template <typename Unit>
void ComposeVersionLine(std::basic_string<Unit>& line, size_t valueStart, bool stringValue, const VersionQuad& v) {
    line.resize(valueStart);
    const Unit separator = static_cast<Unit>(stringValue ? '.' : ',');
    AppendUnsigned(line, v.major);
    line.push_back(separator);
    AppendUnsigned(line, v.minor);
    line.push_back(separator);
    AppendUnsigned(line, v.build);
    line.push_back(separator);
    AppendUnsigned(line, v.revision);
    AppendAscii(line, stringValue ? "\\0\"\r\n" : "\r\n");
}

// Rewrites the value of a resource-script version line that starts at valueStart.
//  - ActionSetVersion: the line becomes the text before the value start followed by the four
//    numbers of version ("a,b,c,d" CR LF, or "a.b.c.d\0" quote CR LF for string values).
//  - ActionAutoIncrement: the four numbers are read from the line (each stored into version as
//    soon as it is read), build is raised by one and the line is rewritten as above. A line whose
//    numbers are not all separated by the form's separator stays as it is.
// A value start beyond the end of the line's text (inside or after its CR LF) leaves the line
// unchanged, so lines are never split. Returns the " -> a.b.c.d" log line when logFlag is set and
// the line was incremented; otherwise an empty string.
template <typename Unit, typename Steps>
std::wstring RewriteValue(std::basic_string<Unit>& line, size_t valueStart, bool stringValue, bool logFlag,
                          ActionSet actions, VersionQuad& version, const Steps& steps, LineReport* report) {
    using View = std::basic_string_view<Unit>;
    LineReport ignored;
    LineReport& found = report ? *report : ignored;
    if (actions & ActionSetVersion) {
        // A value start inside the CR LF would split the line in two.
        if (valueStart <= TextLength(line)) {
            ComposeVersionLine(line, valueStart, stringValue, version);
            if (AnyAbove16Bits(version)) found.wroteAbove16Bits = true;
        }
        return {};
    }
    if (!(actions & ActionAutoIncrement)) return {};

    const View text(line);
    const Unit separator = static_cast<Unit>(stringValue ? '.' : ',');
    // Each number is stored as soon as it is read, and checked where it stands.
    auto read = [&](size_t at, std::uint32_t& part) {
        part = ReadUnsigned(text, at);
        if (NumberOutOfRange(text, at, UINT32_MAX)) found.readOutOfRange = true;
    };
    read(valueStart, version.major);
    size_t next = text.find(separator, steps.Next(text, valueStart));
    if (next == text.npos) return {};
    read(next + 1, version.minor);
    next = text.find(separator, steps.Next(text, next + 1));
    if (next == text.npos) return {};
    read(next + 1, version.build);
    next = text.find(separator, steps.Next(text, next + 1));
    if (next == text.npos) return {};
    read(next + 1, version.revision);
    version.build += 1;  // unsigned: wraps at the top, never carries into the other parts

    // Separators were found after the value start, so it lies within the line's text.
    ComposeVersionLine(line, valueStart, stringValue, version);
    if (AnyAbove16Bits(version)) found.wroteAbove16Bits = true;
    if (!logFlag) return {};
    return FormatW(L" -> %u.%u.%u.%u", version.major, version.minor, version.build, version.revision);
}

// Recognises a resource-script version line by its first word, after any blanks and tabs:
//  - a statement: FILEVERSION or PRODUCTVERSION; the value starts one character after the word;
//  - a string value: VALUE, then the quoted name "FileVersion" or "ProductVersion" exactly, a
//    comma and the opening quote of the value, which starts just after that quote.
// Case-sensitive. A word merely mentioned later in a line (a comment, a string table entry, a
// #define) makes no version line. False when the line is none of these.
template <typename Unit, typename Steps>
bool FindMarker(std::basic_string_view<Unit> line, const Steps& steps, ResourceVersionMarker& marker) {
    const auto& words = Words<Unit>::Get();
    const size_t first = SkipBlanks(line, 0);
    for (const auto* statement : {&words.fileVersionStatement, &words.productVersionStatement}) {
        if (!WordAt(line, first, *statement)) continue;
        // One character, usually the blank, separates the word from the numbers; it may be a
        // character of more than one byte.
        marker.valueStart = Advance(line, first + statement->size(), 1, steps);
        marker.stringValue = false;
        marker.logIncrement = false;
        return true;
    }
    if (!WordAt(line, first, words.value)) return false;
    size_t pos = SkipBlanks(line, first + words.value.size());
    const bool product = TextAt(line, pos, words.productVersionName);
    if (!product && !TextAt(line, pos, words.fileVersionName)) return false;
    pos = SkipBlanks(line, pos + (product ? words.productVersionName : words.fileVersionName).size());
    if (pos >= line.size() || line[pos] != ',') return false;
    pos = SkipBlanks(line, pos + 1);
    if (pos >= line.size() || line[pos] != '"') return false;
    marker.valueStart = pos + 1;
    marker.stringValue = true;
    marker.logIncrement = product;
    return true;
}

template <typename Unit, typename Steps>
std::wstring ResourceScriptRules(std::basic_string<Unit>& line, ActionSet actions, VersionQuad& version,
                                 const Steps& steps, LineReport* report = nullptr) {
    ResourceVersionMarker marker;
    if (!FindMarker(std::basic_string_view<Unit>(line), steps, marker)) return {};
    if (report) report->versionLine = true;
    const std::basic_string<Unit> before = report ? line : std::basic_string<Unit>();
    std::wstring log = RewriteValue(line, marker.valueStart, marker.stringValue, marker.logIncrement, actions,
                                    version, steps, report);
    // A rewritten line holds the four numbers the rules last stored.
    if (report && line != before) {
        report->wroteVersion = true;
        report->written = version;
    }
    return log;
}

template <typename Unit>
void ReplaceWithKey(std::basic_string<Unit>& line, const std::basic_string<Unit>& key, std::uint32_t value) {
    line = key;
    AppendUnsigned(line, value);
    AppendAscii(line, "\r\n");
}

// The Visual Basic project-file rules for one line: a line that starts with "MajorVer=",
// "MinorVer=" or "RevisionVer=" (at its very first character, as project files have them).
// Returns the " -> a.b.c" log line of an incremented RevisionVer, else empty.
// A key counts only at the very start of its line, with its equals sign: the same word inside
// another key's value ("Title=\"MajorVersionUtil\"") is the user's text.
template <typename Unit>
std::wstring ProjectFileRules(std::basic_string<Unit>& line, ActionSet actions, VersionQuad& version,
                              LineReport* report = nullptr) {
    using View = std::basic_string_view<Unit>;
    const auto& words = Words<Unit>::Get();
    const View text(line);
    const bool set = (actions & ActionSetVersion) != 0;
    const bool increment = !set && (actions & ActionAutoIncrement) != 0;
    LineReport ignored;
    LineReport& found = report ? *report : ignored;

    const bool major = TextAt(text, 0, words.majorVer);
    const bool minor = !major && TextAt(text, 0, words.minorVer);
    const bool revision = !major && !minor && TextAt(text, 0, words.revisionVer);
    if (!major && !minor && !revision) return {};
    found.versionLine = true;

    if (major || minor) {
        const auto& key = major ? words.majorVer : words.minorVer;
        std::uint32_t& part = major ? version.major : version.minor;
        if (set) {
            ReplaceWithKey(line, key, part);
            if (part > kLargest16Bit) found.wroteAbove16Bits = true;
        } else if (increment) {
            // The line stays; the file keeps whatever it holds.
            part = ReadUnsigned(text, key.size());
            if (NumberOutOfRange(text, key.size(), UINT32_MAX)) found.readOutOfRange = true;
            if (part > kLargest16Bit) found.wroteAbove16Bits = true;
        }
        return {};
    }
    if (set) {
        // A project file has three parts; the third of the run's numbers is its revision.
        ReplaceWithKey(line, words.revisionVer, version.build);
        if (version.build > kLargest16Bit) found.wroteAbove16Bits = true;
        found.wroteVersion = true;
        found.written = version;
        return {};
    }
    if (!increment) return {};
    const size_t at = words.revisionVer.size();
    const std::int32_t next = NextRevision(ReadSigned(text, at));
    // A negative result comes from a negative number or from the largest one wrapping.
    if (NumberOutOfRange(text, at, INT32_MAX) || next < 0) found.readOutOfRange = true;
    if (next > static_cast<std::int32_t>(kLargest16Bit)) found.wroteAbove16Bits = true;
    // The file's major and minor as far as read, its new revision as the third number.
    found.wroteVersion = true;
    found.written = VersionQuad{version.major, version.minor, static_cast<std::uint32_t>(next), version.revision};
    line = words.revisionVer;
    AppendSigned(line, next);
    AppendAscii(line, "\r\n");
    // Signed, as written into the file.
    return FormatW(L" -> %u.%u.%d", version.major, version.minor, static_cast<int>(next));
}

}  // namespace

// ---- CharSteps ----------------------------------------------------------------------------

CharSteps CharSteps::SingleByte() {
    CharSteps steps;
    steps.length_.fill(1);
    return steps;
}

CharSteps CharSteps::Utf8() {
    CharSteps steps;
    for (int b = 0; b < 256; ++b) {
        steps.length_[b] = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 1;
    }
    return steps;
}

CharSteps CharSteps::DoubleByte(std::initializer_list<unsigned char> leadRanges) {
    CharSteps steps = SingleByte();
    const unsigned char* range = leadRanges.begin();
    // A pair of zeros ends the list, as in CPINFO.
    for (size_t i = 0; i + 1 < leadRanges.size() && range[i] != 0; i += 2) {
        for (int b = range[i]; b <= range[i + 1]; ++b) steps.length_[b] = 2;
    }
    return steps;
}

size_t CharSteps::Next(std::string_view text, size_t pos) const {
    if (pos >= text.size()) return pos + 1;
    size_t length = length_[static_cast<unsigned char>(text[pos])];
    if (length == 1 || pos + length > text.size()) return pos + 1;
    for (size_t i = 1; i < length; ++i) {
        char c = text[pos + i];
        if (c == '\r' || c == '\n' || c == '\0') return pos + 1;
    }
    return pos + length;
}

// ---- public rules -------------------------------------------------------------------------

std::wstring ApplyVersionRules(CompilerKind kind, std::string& line, ActionSet actions, VersionQuad& version,
                               const CharSteps& steps, LineReport* report) {
    if (kind == CompilerVC6) return ResourceScriptRules(line, actions, version, steps, report);
    if (kind == CompilerVB6) return ProjectFileRules(line, actions, version, report);
    return {};
}

std::wstring ApplyVersionRules(CompilerKind kind, std::wstring& line, ActionSet actions, VersionQuad& version,
                               LineReport* report) {
    if (kind == CompilerVC6) return ResourceScriptRules(line, actions, version, Utf16Steps{}, report);
    if (kind == CompilerVB6) return ProjectFileRules(line, actions, version, report);
    return {};
}

std::uint32_t ReadVersionLineNumber(std::string_view text, size_t pos) { return ReadUnsigned(text, pos); }
std::uint32_t ReadVersionLineNumber(std::wstring_view text, size_t pos) { return ReadUnsigned(text, pos); }
std::int32_t ReadSignedNumber(std::string_view text, size_t pos) { return ReadSigned(text, pos); }
std::int32_t ReadSignedNumber(std::wstring_view text, size_t pos) { return ReadSigned(text, pos); }

std::int32_t NextRevision(std::int32_t revision) {
    return revision == INT32_MAX ? INT32_MIN : revision + 1;
}

}  // namespace kw
