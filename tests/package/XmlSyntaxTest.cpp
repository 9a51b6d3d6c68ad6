// Pointing at the first spot where a package file stops being well-formed XML.
#include <gtest/gtest.h>

#include "package/XmlSyntax.h"

namespace {

TEST(XmlSyntax, PointsAtTheFirstMistake) {
    struct Case {
        const char* text;
        long line, column;  // 0: well-formed
    } cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<!-- c --><P a='1' b=\"&amp;&#x41;\"><![CDATA[<x>]]><?pi x?><Q/>t</P>\n", 0, 0},
        {"\xEF\xBB\xBF<P>Caf\xC3\xA9</P>", 0, 0},
        {"<Package>\r\n  <Name>P</Nam>\r\n</Package>", 2, 12},
        {"<P>\n\xC3\xA9\xC3\xA9<</P>", 2, 4},  // UTF-8 sequences are one column each
        {"<P>\r\r\n<Q></P>", 3, 6},
        {"<P>a & b</P>", 1, 7},
        {"<P>&nbsp;</P>", 1, 4},
        {"<P>&#0;</P>", 1, 4},
        {"<P a='1' a='2'/>", 1, 10},
        {"<P a=1/>", 1, 6},
        {"<P a='<'/>", 1, 7},
        {"<P>\x01</P>", 1, 4},
        {"<P><!-- a -- b --></P>", 1, 11},
        {"<P></P><Q/>", 1, 8},
        {"text<P/>", 1, 1},
        {"<P><Q>", 1, 7},
        {"", 1, 1},
        {"<P>]]></P>", 1, 4},
        {"<P><?xml x?></P>", 1, 6},
    };
    for (const Case& c : cases) {
        long line = 0, column = 0;
        bool found = kw::FindXmlSyntaxError(c.text, line, column);
        EXPECT_EQ(found, c.line != 0) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_EQ(column, c.column) << c.text;
    }
}

}  // namespace
