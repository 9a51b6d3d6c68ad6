// Package files are untrusted: nothing in one may reach outside it or bring the program down.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "package/PackageDocument.h"

using namespace kw;
using kwtest::ScratchDir;

namespace {

const char kSecret[] = "TOP-SECRET-4711";

class PackageHostileTest : public ::testing::Test {
protected:
    void SetUp() override { kwtest::WriteBytes(dir_.File(L"secret.txt"), kSecret); }

    // Opens the text as a package and checks that it is refused and leaks nothing.
    void ExpectRefused(const std::string& xml) {
        kwtest::WriteBytes(dir_.File(L"evil.kwp"), xml);
        PackageDocument doc;
        EXPECT_EQ(doc.OpenPackage(dir_.File(L"evil.kwp")), -1);
        std::wstring name, a, b, c, d;
        EXPECT_EQ(doc.GetPackageInfo(name, a, b, c, d), 1);
        EXPECT_EQ(name.find(L"TOP-SECRET"), std::wstring::npos);
    }

    std::string SecretUrl() { return "file:///" + kwtest::Narrow(dir_.File(L"secret.txt")); }

    ScratchDir dir_{L"hostile"};
};

}  // namespace

TEST_F(PackageHostileTest, DocumentTypeDeclarationsAreRefused) {
    ExpectRefused("<!DOCTYPE Package [<!ENTITY e \"inner\">]><Package><Name>&e;</Name>"
                  "<CurrentVersion>1</CurrentVersion><Projects/></Package>");
    ExpectRefused("<!DOCTYPE Package [<!ENTITY x SYSTEM \"" + SecretUrl() +
                  "\">]><Package><Name>&x;</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>");
    ExpectRefused("<!DOCTYPE Package SYSTEM \"" + SecretUrl() +
                  "\"><Package><Name>n</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>");
    ExpectRefused("<?xml version=\"1.0\"?>\n<!doctype Package><Package><Projects/></Package>");

    std::string bomb = "<!DOCTYPE Package [<!ENTITY a0 \"lol\">";
    for (int i = 1; i < 12; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><Package><Name>&a11;</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>";
    ExpectRefused(bomb);

    // The same declaration in UTF-16.
    std::string utf16 = "\xFF\xFE";
    for (char ch : std::string("<!DOCTYPE Package [<!ENTITY e \"x\">]><Package><Projects/></Package>")) {
        utf16 += ch;
        utf16 += '\0';
    }
    ExpectRefused(utf16);
}

TEST_F(PackageHostileTest, VeryDeepNestingIsRefusedWithoutACrash) {
    std::string deep = "<Package><Name>n</Name><CurrentVersion>1</CurrentVersion><Projects/>";
    const int depth = 100000;
    for (int i = 0; i < depth; ++i) deep += "<a>";
    for (int i = 0; i < depth; ++i) deep += "</a>";
    deep += "</Package>";
    ExpectRefused(deep);
}

TEST_F(PackageHostileTest, OddButHarmlessContentStillReads) {
    // Comments, attributes and CDATA are not ours but must not break reading.
    kwtest::WriteBytes(dir_.File(L"odd.kwp"),
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- hand made --><Package a=\"1\">"
                       "<Name><![CDATA[<Tools & more>]]></Name><CurrentVersion>3.0.0.1</CurrentVersion>"
                       "<Projects><Project><ProjectID>1</ProjectID><Name>A&amp;B \"q\"</Name>"
                       "<Compiler>VC6</Compiler></Project></Projects></Package>");
    PackageDocument doc;
    ASSERT_EQ(doc.OpenPackage(dir_.File(L"odd.kwp")), 0);
    std::wstring name, a, b, c, d;
    ASSERT_EQ(doc.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"<Tools & more>");
    ProjectHandle handle;
    ASSERT_EQ(doc.StartProjectEnumeration(handle), 0);
    int id = 0;
    CompilerKind kind;
    ASSERT_EQ(doc.GetProjectSummary(handle, id, name, kind), 0);
    EXPECT_EQ(name, L"A&B \"q\"");
}
