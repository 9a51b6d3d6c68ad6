// kilnworks-cli show, run as the user would run it.
#include <gtest/gtest.h>

#include "common/TestSupport.h"

using kwtest::ScratchDir;

namespace {

class ShowCommandTest : public ::testing::Test {
protected:
    kwtest::Captured Show(const std::wstring& arguments) {
        return kwtest::RunCaptured(L"\"" + kwtest::ProgramFolder() + L"\\kilnworks-cli.exe\" " + arguments);
    }
    kwtest::Captured ShowXml(const std::string& xml) {
        kwtest::WriteBytes(dir_.File(L"my package.kwp"), xml);
        return Show(L"show \"" + dir_.File(L"my package.kwp") + L"\"");
    }
    ScratchDir dir_{L"show"};
};

}  // namespace

TEST_F(ShowCommandTest, PrintsPackageAndEveryProjectInUtf8) {
    // Control characters in a value can't start lines of their own.
    auto r = ShowXml(
        "<Package><Name>Suite \xE2\x82\xAC&#13;&#10;Version: 9&#9;\xC2\x85</Name><CurrentVersion>1.2</CurrentVersion><Projects>"
        "<Project><ProjectID>3</ProjectID><Name>\xC3\x9C" "ber</Name><SourceLocation>C:\\S p</SourceLocation>"
        "<Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R</ReleaseConfig>"
        "<ResourceFile>C:\\S p\\x.vbp</ResourceFile><Registrable>yes</Registrable></Project>"
        "<Project><ProjectID>4</ProjectID><Name>Half</Name><Compiler>cpp</Compiler></Project>"
        "</Projects></Package>");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Package: Suite \xE2\x82\xAC\\r\\nVersion: 9\\t\\x85\r\n"
              "Version: 1.2.0.0\r\n"
              "3 VB6 \xC3\x9C" "ber\r\n"
              "    SourceLocation: C:\\S p\r\n"
              "    DebugConfig: D\r\n"
              "    ReleaseConfig: R\r\n"
              "    ResourceFile: C:\\S p\\x.vbp\r\n"
              "    Registrable: Y\r\n"
              "4 ? Half\r\n"
              "    (settings unreadable: -1)\r\n");
}

TEST_F(ShowCommandTest, FailuresUseTheWindowsTexts) {
    auto r = ShowXml("<Package><Name>Empty</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects/></Package>");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Package: Empty\r\nVersion: 1.0.0.0\r\nHint: This package doesn't contain any project.\r\n");

    r = ShowXml("<Package><Name>broken");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error while parsing the package file.\r\n");
    EXPECT_EQ(r.out, "");

    r = ShowXml("<Package><Name>x</Name><Projects/></Package>");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error while calling GetPackageInfo.\r\n");

    r = Show(L"show \"" + dir_.File(L"does not exist.kwp") + L"\"");
    EXPECT_EQ(r.exitCode, 1);

    for (const wchar_t* usage : {L"", L"show", L"show a b", L"frobnicate x"}) {
        r = Show(usage);
        EXPECT_EQ(r.exitCode, 2) << kwtest::Narrow(usage);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}
