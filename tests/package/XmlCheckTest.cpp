// Package files are untrusted: what could make the parser fetch, expand or recurse never reaches
// it, and a file that is not well-formed is pointed at where it first goes wrong.
#include <gtest/gtest.h>

#include "common/WideBytes.h"
#include "package/XmlScreening.h"
#include "package/XmlSyntax.h"

#include <string>
#include <tuple>

using kw::XmlScreen;

namespace {

std::string Wide(const std::string& text, bool bigEndian, size_t unit) {
    return kwtest::WideBytes(std::wstring(text.begin(), text.end()), unit, bigEndian);
}

// The package element plus depth levels below it.
std::string Nested(int depth) {
    std::string xml = "<Package><Name>n</Name><CurrentVersion>1</CurrentVersion><Projects/>";
    for (int i = 0; i < depth; ++i) xml += "<a>";
    for (int i = 0; i < depth; ++i) xml += "</a>";
    return xml + "</Package>";
}

TEST(XmlScreening, RefusesDocumentTypesInEveryEncodingAndNestingBeyondTheLimit) {
    const std::string entity = "<!DOCTYPE Package [<!ENTITY e \"x\">]><Package><Name>&e;</Name><Projects/></Package>";
    // Comments, CDATA, processing instructions, quoted '>' and self-closed elements don't nest.
    std::string noise;
    for (int i = 0; i < 300; ++i) noise += "<!-- <a> --><![CDATA[<a>]]><?pi <a>?><b c='>' d=\"/>\"/>";
    for (int i = 0; i < 200; ++i) noise = "<a>" + noise + "</a>";

    const XmlScreen refused = XmlScreen::DocumentType, deep = XmlScreen::TooDeep, fine = XmlScreen::Accepted;
    const std::tuple<const char*, std::string, XmlScreen> cases[] = {
        {"internal entity (and so any entity bomb)", entity, refused},
        {"external entity", "<!DOCTYPE Package [<!ENTITY x SYSTEM \"file:///C:/secret.txt\">]><Package/>", refused},
        {"external DTD", "<!DOCTYPE Package SYSTEM \"file:///C:/secret.dtd\"><Package><Projects/></Package>", refused},
        {"lower case", "<?xml version=\"1.0\"?>\n<!doctype Package><Package><Projects/></Package>", refused},
        {"UTF-16 LE", "\xFF\xFE" + Wide(entity, false, 2), refused},
        {"UTF-16 BE", "\xFE\xFF" + Wide(entity, true, 2), refused},
        {"UTF-32 LE", std::string("\xFF\xFE\0\0", 4) + Wide(entity, false, 4), refused},
        {"UTF-32 BE without mark", Wide(entity, true, 4), refused},
        {"256 levels", Nested(255), fine},  {"257 levels", Nested(256), deep},
        {"257 levels in UTF-16", "\xFF\xFE" + Wide(Nested(256), false, 2), deep},
        {"100000 levels", Nested(100000), deep},
        {"markup that does not nest", "<Package>" + noise + "</Package>", fine},
    };
    for (const auto& [what, bytes, screen] : cases) EXPECT_EQ(kw::ScreenXml(bytes), screen) << what;
}

TEST(XmlSyntax, PointsAtTheFirstMistake) {
    // "line:column" of the first mistake, "" when well-formed.
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<!-- c --><P a='1' b=\"&amp;&#x41;\"><![CDATA[<x>]]><?pi x?><Q/>t</P>\n", ""},
        {"\xEF\xBB\xBF<P>Caf\xC3\xA9</P>", ""},
        {"<Package>\r\n  <Name>P</Nam>\r\n</Package>", "2:12"},
        {"<P>\n\xC3\xA9\xC3\xA9<</P>", "2:4"},  // UTF-8 sequences are one column each
        {"<P>\r\r\n<Q></P>", "3:6"},
        {"<P>a & b</P>", "1:7"},      {"<P>&nbsp;</P>", "1:4"},      {"<P>&#0;</P>", "1:4"},
        {"<P a='1' a='2'/>", "1:10"}, {"<P a=1/>", "1:6"},           {"<P a='<'/>", "1:7"},
        {"<P>\x01</P>", "1:4"},       {"<P><!-- a -- b --></P>", "1:11"}, {"<P></P><Q/>", "1:8"},
        {"text<P/>", "1:1"},          {"<P><Q>", "1:7"},             {"", "1:1"},
        {"<P>]]></P>", "1:4"},        {"<P><?xml x?></P>", "1:6"},
    };
    for (const auto& [text, at] : cases) {
        long line = 0, column = 0;
        const bool found = kw::FindXmlSyntaxError(text, line, column);
        EXPECT_EQ(found ? std::to_string(line) + ":" + std::to_string(column) : "", at) << text;
    }
}

}  // namespace
