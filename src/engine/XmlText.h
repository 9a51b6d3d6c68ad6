// Text into XML (and XHTML-compatible HTML) as UTF-8, valid whatever a builder wrote.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// Appends text as escaped UTF-8 character data. Markup characters become references; control
// characters XML 1.0 can't hold become their visible pictures (U+2400...), so "\a" shows as a bell
// sign instead of breaking the file; unpaired surrogates and U+FFFE/U+FFFF become U+FFFD. In an
// attribute, quotes, tabs and line breaks are written as references so they survive parsing.
void AppendXmlText(std::string& out, std::wstring_view text, bool attribute = false);
std::string XmlText(std::wstring_view text, bool attribute = false);
// For attribute values: XmlText(text, true).
inline std::string XmlAttr(std::wstring_view text) { return XmlText(text, true); }

}  // namespace kw
