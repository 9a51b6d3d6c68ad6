#include "version/VersionRules.h"

#include "win/Decimal.h"
#include "win/Text.h"

#include <climits>
#include <limits>

namespace kw {

namespace {

// ---- characters ---------------------------------------------------------------------------

// UTF-16 lines: a surrogate pair is one character.
struct Utf16Steps {
    bool AsciiStandsAlone() const { return true; }
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

// True when pos starts a character of its own (not the second byte of a double-byte one).
template <typename Unit, typename Steps>
bool StartsCharacter(std::basic_string_view<Unit> text, size_t pos, const Steps& steps) {
    if (steps.AsciiStandsAlone()) return true;
    size_t boundary = 0;
    while (boundary < pos) boundary = steps.Next(text, boundary);
    return boundary == pos;
}

// The first position of each word in the line, or npos. Every word holds exactly one capital V,
// so the line is scanned once for V and each word is compared only around those.
template <typename Unit, typename Steps, size_t N>
void FindWords(std::basic_string_view<Unit> line, const std::basic_string<Unit>* const (&words)[N],
               const Steps& steps, size_t (&found)[N]) {
    const Unit capitalV = static_cast<Unit>('V');
    size_t anchor[N];
    for (size_t i = 0; i < N; ++i) {
        found[i] = line.npos;
        anchor[i] = words[i]->find(capitalV);
    }
    size_t missing = N;
    for (size_t v = line.find(capitalV); v != line.npos && missing > 0; v = line.find(capitalV, v + 1)) {
        for (size_t i = 0; i < N; ++i) {
            if (found[i] != line.npos || v < anchor[i]) continue;
            const size_t start = v - anchor[i];
            if (start + words[i]->size() > line.size()) continue;
            if (line.compare(start, words[i]->size(), *words[i]) != 0) continue;
            if (!StartsCharacter(line, start, steps)) continue;
            found[i] = start;
            --missing;
        }
    }
}

// ---- the ASCII texts of the rules, in either unit -----------------------------------------

template <typename Unit>
struct Words {
    using String = std::basic_string<Unit>;
    static String Make(const char* ascii) { return String(ascii, ascii + std::char_traits<char>::length(ascii)); }

    String fileVersionStatement = Make(" FILEVERSION");
    String productVersionStatement = Make(" PRODUCTVERSION");
    String fileVersionValue = Make("\"FileVersion");
    String productVersionValue = Make("\"ProductVersion");
    String majorVer = Make("MajorVer");
    String minorVer = Make("MinorVer");
    String revisionVer = Make("RevisionVer");

    static const Words& Get() {
        static const Words words;
        return words;
    }
};

constexpr size_t kFileVersionStatementOffset = 13;
constexpr size_t kProductVersionStatementOffset = 16;
constexpr size_t kFileVersionValueOffset = 16;
constexpr size_t kProductVersionValueOffset = 19;
// 1-based character 10 and 13 of a project-file line: just after "MajorVer=" and "RevisionVer=".
constexpr size_t kMajorMinorNumberAt = 9;
constexpr size_t kRevisionNumberAt = 12;

template <typename Unit>
std::uint32_t ReadUnsigned(std::basic_string_view<Unit> text, size_t pos) {
    return ReadRuntimeUInt32(text, pos);
}

template <typename Unit>
std::int32_t ReadSigned(std::basic_string_view<Unit> text, size_t pos) {
    return ReadRuntimeInt32(text, pos);
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

template <typename Unit, typename Steps>
std::wstring RewriteValue(std::basic_string<Unit>& line, size_t valueStart, bool stringValue, bool logFlag,
                          ActionSet actions, VersionQuad& version, const Steps& steps) {
    using View = std::basic_string_view<Unit>;
    if (actions & ActionSetVersion) {
        // A value start inside the CR LF would split the line in two.
        if (valueStart <= TextLength(line)) ComposeVersionLine(line, valueStart, stringValue, version);
        return {};
    }
    if (!(actions & ActionAutoIncrement)) return {};

    const View text(line);
    const Unit separator = static_cast<Unit>(stringValue ? '.' : ',');
    version.major = ReadUnsigned(text, valueStart);
    size_t found = text.find(separator, steps.Next(text, valueStart));
    if (found == text.npos) return {};
    version.minor = ReadUnsigned(text, found + 1);
    found = text.find(separator, steps.Next(text, found + 1));
    if (found == text.npos) return {};
    version.build = ReadUnsigned(text, found + 1);
    found = text.find(separator, steps.Next(text, found + 1));
    if (found == text.npos) return {};
    version.revision = ReadUnsigned(text, found + 1);
    version.build += 1;  // unsigned: wraps at the top, never carries into the other parts

    // Separators were found after the value start, so it lies within the line's text.
    ComposeVersionLine(line, valueStart, stringValue, version);
    if (!logFlag) return {};
    return FormatW(L" -> %u.%u.%u.%u", version.major, version.minor, version.build, version.revision);
}

template <typename Unit, typename Steps>
bool FindMarker(std::basic_string_view<Unit> line, const Steps& steps, ResourceVersionMarker& marker) {
    const auto& words = Words<Unit>::Get();
    // In the order that decides when a line holds several.
    const std::basic_string<Unit>* const markers[] = {&words.fileVersionStatement, &words.productVersionStatement,
                                                      &words.fileVersionValue, &words.productVersionValue};
    const size_t offsets[] = {kFileVersionStatementOffset, kProductVersionStatementOffset, kFileVersionValueOffset,
                              kProductVersionValueOffset};
    size_t found[4];
    FindWords(line, markers, steps, found);
    for (size_t i = 0; i < 4; ++i) {
        if (found[i] == line.npos) continue;
        // The marker is ASCII; the characters skipped after it may not be.
        const size_t afterMarker = found[i] + markers[i]->size();
        marker.valueStart = Advance(line, afterMarker, offsets[i] - markers[i]->size(), steps);
        marker.stringValue = i >= 2;
        marker.logIncrement = i == 3;
        return true;
    }
    return false;
}

template <typename Unit, typename Steps>
std::wstring ResourceScriptRules(std::basic_string<Unit>& line, ActionSet actions, VersionQuad& version,
                                 const Steps& steps, bool* matched = nullptr, VersionQuad* written = nullptr) {
    ResourceVersionMarker marker;
    if (!FindMarker(std::basic_string_view<Unit>(line), steps, marker)) return {};
    if (matched) *matched = true;
    const std::basic_string<Unit> before = written ? line : std::basic_string<Unit>();
    std::wstring log = RewriteValue(line, marker.valueStart, marker.stringValue, marker.logIncrement, actions, version, steps);
    // A rewritten line holds the four numbers the rules last stored.
    if (written && line != before) *written = version;
    return log;
}

template <typename Unit>
void ReplaceWithKey(std::basic_string<Unit>& line, const std::basic_string<Unit>& key, std::uint32_t value) {
    line = key;
    line.push_back(static_cast<Unit>('='));
    AppendUnsigned(line, value);
    AppendAscii(line, "\r\n");
}

template <typename Unit, typename Steps>
std::wstring ProjectFileRules(std::basic_string<Unit>& line, ActionSet actions, VersionQuad& version,
                              const Steps& steps, bool* matched = nullptr, VersionQuad* written = nullptr) {
    using View = std::basic_string_view<Unit>;
    const auto& words = Words<Unit>::Get();
    const View text(line);
    const bool set = (actions & ActionSetVersion) != 0;
    const bool increment = !set && (actions & ActionAutoIncrement) != 0;
    const std::basic_string<Unit>* const keys[] = {&words.majorVer, &words.minorVer, &words.revisionVer};
    size_t found[3];
    FindWords(text, keys, steps, found);
    if (matched && (found[0] != text.npos || found[1] != text.npos || found[2] != text.npos)) *matched = true;

    if (found[0] != text.npos) {
        if (set) {
            ReplaceWithKey(line, words.majorVer, version.major);
        } else if (increment) {
            version.major = ReadUnsigned(text, Advance(text, 0, kMajorMinorNumberAt, steps));
        }
        return {};
    }
    if (found[1] != text.npos) {
        if (set) {
            ReplaceWithKey(line, words.minorVer, version.minor);
        } else if (increment) {
            version.minor = ReadUnsigned(text, Advance(text, 0, kMajorMinorNumberAt, steps));
        }
        return {};
    }
    if (found[2] != text.npos) {
        if (set) {
            // A project file has three parts; the third of the run's numbers is its revision.
            ReplaceWithKey(line, words.revisionVer, version.build);
            if (written) *written = version;
        } else if (increment) {
            std::int32_t next = NextRevision(ReadSigned(text, Advance(text, 0, kRevisionNumberAt, steps)));
            // The file's major and minor as far as read, its new revision as the third number.
            if (written) *written = VersionQuad{version.major, version.minor, static_cast<std::uint32_t>(next), version.revision};
            line = words.revisionVer;
            line.push_back(static_cast<Unit>('='));
            AppendSigned(line, next);
            AppendAscii(line, "\r\n");
            // Signed, as written into the file.
            return FormatW(L" -> %u.%u.%d", version.major, version.minor, static_cast<int>(next));
        }
    }
    return {};
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
        steps.asciiStandsAlone_ = false;
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

bool FindResourceVersionMarker(std::string_view line, const CharSteps& steps, ResourceVersionMarker& marker) {
    return FindMarker(line, steps, marker);
}

bool FindResourceVersionMarker(std::wstring_view line, ResourceVersionMarker& marker) {
    return FindMarker(line, Utf16Steps{}, marker);
}

std::wstring RewriteVersionValue(std::string& line, size_t valueStart, bool stringValue, bool logFlag,
                                 ActionSet actions, VersionQuad& version, const CharSteps& steps) {
    return RewriteValue(line, valueStart, stringValue, logFlag, actions, version, steps);
}

std::wstring RewriteVersionValue(std::wstring& line, size_t valueStart, bool stringValue, bool logFlag,
                                 ActionSet actions, VersionQuad& version) {
    return RewriteValue(line, valueStart, stringValue, logFlag, actions, version, Utf16Steps{});
}

std::wstring ApplyResourceScriptRules(std::string& line, ActionSet actions, VersionQuad& version,
                                      const CharSteps& steps) {
    return ResourceScriptRules(line, actions, version, steps);
}

std::wstring ApplyResourceScriptRules(std::wstring& line, ActionSet actions, VersionQuad& version) {
    return ResourceScriptRules(line, actions, version, Utf16Steps{});
}

std::wstring ApplyProjectFileRules(std::string& line, ActionSet actions, VersionQuad& version,
                                   const CharSteps& steps) {
    return ProjectFileRules(line, actions, version, steps);
}

std::wstring ApplyProjectFileRules(std::wstring& line, ActionSet actions, VersionQuad& version) {
    return ProjectFileRules(line, actions, version, Utf16Steps{});
}

std::wstring ApplyVersionRules(CompilerKind kind, std::string& line, ActionSet actions, VersionQuad& version,
                               const CharSteps& steps, bool* matched, VersionQuad* written) {
    if (kind == CompilerVC6) return ResourceScriptRules(line, actions, version, steps, matched, written);
    if (kind == CompilerVB6) return ProjectFileRules(line, actions, version, steps, matched, written);
    return {};
}

std::wstring ApplyVersionRules(CompilerKind kind, std::wstring& line, ActionSet actions, VersionQuad& version,
                               bool* matched, VersionQuad* written) {
    if (kind == CompilerVC6) return ResourceScriptRules(line, actions, version, Utf16Steps{}, matched, written);
    if (kind == CompilerVB6) return ProjectFileRules(line, actions, version, Utf16Steps{}, matched, written);
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
