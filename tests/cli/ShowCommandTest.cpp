// kilnworks-cli show, run as the user would run it.
#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace {

kwtest::Captured Cli(const std::wstring& arguments) {
    return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" " + arguments);
}

TEST(ShowCommand, PrintsPackageAndEveryProjectInUtf8OrSaysWhyNot) {
    kwtest::ScratchDir dir(L"show");
    const std::wstring package = dir.File(L"my package.kwp");
    struct Case {
        std::string xml;
        int exitCode;
        std::string out, err;
    } cases[] = {
        // Control characters in a value can't start lines of their own.
        {"<Package><Name>Suite \xE2\x82\xAC&#13;&#10;Version: 9&#9;\xC2\x85</Name><CurrentVersion>1.2</CurrentVersion>"
         "<Projects><Project><ProjectID>3</ProjectID><Name>\xC3\x9C" "ber</Name>"
         "<SourceLocation>C:\\S p</SourceLocation>"
         "<Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R</ReleaseConfig>"
         "<ResourceFile>C:\\S p\\x.vbp</ResourceFile><Registrable>yes</Registrable></Project>"
         "<Project><ProjectID>4</ProjectID><Name>Half</Name><Compiler>cpp</Compiler></Project>"
         // Reordering and line-separating characters are shown, not obeyed; the ProjectID as written.
         "<Project><ProjectID>99999999999</ProjectID><Name>a\xE2\x80\xAE" "b\xE2\x80\xA8" "c</Name>"
         "<Compiler>VC6</Compiler></Project></Projects></Package>",
         0,
         "Package: Suite \xE2\x82\xAC\\r\\nVersion: 9\\t\\u0085\r\nVersion: 1.2.0.0\r\n3 VB6 \xC3\x9C" "ber\r\n"
         "    SourceLocation: C:\\S p\r\n    DebugConfig: D\r\n    ReleaseConfig: R\r\n"
         "    ResourceFile: C:\\S p\\x.vbp\r\n    Registrable: Y\r\n4 ? Half\r\n    (settings unreadable: -1)\r\n"
         "99999999999 VC6 a\\u202Eb\\u2028c\r\n    (settings unreadable: -1)\r\n",
         ""},
        // Dependencies as numbers, only under a project that has any; a text that doesn't read, quoted.
        {"<Package><Name>D</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects>"
         "<Project><ProjectID>1</ProjectID><Name>A</Name><Compiler>VC6</Compiler><Dependencies> 4 ,1, 2</Dependencies></Project>"
         "<Project><ProjectID>2</ProjectID><Name>B</Name><Compiler>VC6</Compiler><Dependencies> </Dependencies></Project>"
         "<Project><ProjectID>3</ProjectID><Name>C</Name><Compiler>VC6</Compiler><Dependencies>1,,x</Dependencies></Project>"
         "</Projects></Package>",
         0,
         "Package: D\r\nVersion: 1.0.0.0\r\n1 VC6 A\r\n    (settings unreadable: -1)\r\n    Dependencies: 1, 2, 4\r\n"
         "2 VC6 B\r\n    (settings unreadable: -1)\r\n3 VC6 C\r\n    (settings unreadable: -1)\r\n"
         "    Dependencies: '1,,x' (not a list of project numbers)\r\n",
         ""},
        {"<Package><Name>Empty</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects/></Package>", 0,
         "Package: Empty\r\nVersion: 1.0.0.0\r\nHint: This package doesn't contain any project.\r\n", ""},
        {"<Package><Name>x</Name><Projects/></Package>", 1, "", "Error while calling GetPackageInfo.\r\n"},
    };
    for (const Case& c : cases) {
        kwtest::WriteBytes(package, c.xml);
        kwtest::Captured r = Cli(L"show \"" + package + L"\"");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.xml;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

}  // namespace
