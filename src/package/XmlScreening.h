// Screening of a package file's bytes before the XML parser sees them: a file that could make
// the parser fetch or expand anything, or nest without end, never reaches it. Pure functions.
#pragma once

#include <string>

namespace kw {

// Far deeper than any package; the parser is told the same limit.
inline constexpr int kMaxElementDepth = 256;

enum class XmlScreen {
    Accepted,
    DocumentType,  // a document type declaration, in any encoding a parser would detect
    TooDeep,       // elements nest deeper than the limit
};

XmlScreen ScreenXml(const std::string& bytes, int maxDepth = kMaxElementDepth);

// The text as the parser will see it, one byte per character: ASCII as it is, anything else as
// 'x'. UTF-16 and UTF-32 of either byte order are told apart by the first character, as a
// parser does; everything else reads as 8-bit or UTF-8 text.
std::string CharactersOf(const std::string& bytes);

}  // namespace kw
