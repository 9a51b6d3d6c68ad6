// Package files are untrusted: what could make the parser fetch, expand or recurse never reaches it.
#include <gtest/gtest.h>

#include "package/XmlScreening.h"

#include <string>

using kw::XmlScreen;

namespace {

std::string Wide(const std::string& text, bool bigEndian, size_t unit) {
    std::string wide;
    for (char c : text) {
        std::string character(unit, '\0');
        character[bigEndian ? unit - 1 : 0] = c;
        wide += character;
    }
    return wide;
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

    const struct {
        const char* what;
        std::string bytes;
        XmlScreen expected;
    } cases[] = {
        {"internal entity (and so any entity bomb)", entity, XmlScreen::DocumentType},
        {"external entity", "<!DOCTYPE Package [<!ENTITY x SYSTEM \"file:///C:/secret.txt\">]><Package/>",
         XmlScreen::DocumentType},
        {"external DTD", "<!DOCTYPE Package SYSTEM \"file:///C:/secret.dtd\"><Package><Projects/></Package>",
         XmlScreen::DocumentType},
        {"lower case", "<?xml version=\"1.0\"?>\n<!doctype Package><Package><Projects/></Package>",
         XmlScreen::DocumentType},
        {"UTF-16 LE", "\xFF\xFE" + Wide(entity, false, 2), XmlScreen::DocumentType},
        {"UTF-16 BE", "\xFE\xFF" + Wide(entity, true, 2), XmlScreen::DocumentType},
        {"UTF-32 LE", std::string("\xFF\xFE\0\0", 4) + Wide(entity, false, 4), XmlScreen::DocumentType},
        {"UTF-32 BE without mark", Wide(entity, true, 4), XmlScreen::DocumentType},
        {"256 levels", Nested(255), XmlScreen::Accepted},
        {"257 levels", Nested(256), XmlScreen::TooDeep},
        {"257 levels in UTF-16", "\xFF\xFE" + Wide(Nested(256), false, 2), XmlScreen::TooDeep},
        {"100000 levels", Nested(100000), XmlScreen::TooDeep},
        {"noise", "<Package>" + noise + "</Package>", XmlScreen::Accepted},
    };
    for (const auto& c : cases) EXPECT_EQ(kw::ScreenXml(c.bytes), c.expected) << c.what;
}

}  // namespace
