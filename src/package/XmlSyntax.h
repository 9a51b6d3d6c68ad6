// Where a text stops being well-formed XML, so a message can point at the spot when the parser
// itself doesn't say where (Wine's MSXML gives no position).
#pragma once

#include <string_view>

namespace kw {

// text: one byte per character (UTF-8 sequences count as one column). Line and column of the first
// mistake, both from 1; false when none is found here (the parser may still refuse the text for
// something not looked at, such as its encoding).
bool FindXmlSyntaxError(std::string_view text, long& line, long& column);

}  // namespace kw
