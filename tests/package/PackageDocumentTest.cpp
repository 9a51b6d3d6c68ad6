// Opening and reading packages, lookups by number, and package files that are missing,
// malformed or hostile.
#include <windows.h>

#include "package/PackageTestSupport.h"

#include <tuple>

using namespace kw;
using namespace kwtest;

namespace {

using PackageDocumentTest = PackageTest;

// One package of odd projects: listed in document order until one can't be read; looked up by
// the number's text, the first of two with one number winning; staged values read first.
TEST_F(PackageDocumentTest, ListsInDocumentOrderAndLooksUpByTheNumbersText) {
    const std::string bare = "<Compiler>VC6</Compiler><SourceLocation/><DebugConfig/><ReleaseConfig/><ResourceFile/>"
                             "<Registrable/></Project>";
    const std::string staged = "<TempData><ProjectID>13</ProjectID><Name>Staged</Name><SourceLocation>D:\\New"
                               "</SourceLocation><Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R"
                               "</ReleaseConfig><ResourceFile>D:\\New\\Staged.vbp</ResourceFile><Registrable>Y"
                               "</Registrable></TempData>";
    ASSERT_EQ(Open(Package(Project("2", "Util") + Project("1", "Report", "VB6") + Project("3", "O&amp;\"d\"", "vc6") +
                           Project("007", "Seven", "VC6 ") + Project("4", "First") + Project("4", "Second") +
                           "<Project><ProjectID>10</ProjectID><Name>A</Name>" + bare +
                           "<Project><ProjectID>11</ProjectID><Name>B</Name><Compiler>VC6</Compiler>"
                           "<SourceLocation>x</SourceLocation></Project><Project><ProjectID><b>5</b></ProjectID>"
                           "<Name>Nested</Name>" + bare + "<Project><ProjectID>12</ProjectID><Name>C</Name></Project>" +
                           Project("13", "Orig", "VC6", staged))),
              0);
    EXPECT_EQ(Listing(doc_), L"2 Util 1;1 Report 2;3 O&\"d\" 0;7 Seven 0;4 First 1;4 Second 1;10 A 1;11 B 1;end -2");
    // id, "Settings" as far as given, "result kind file" of the resource file the stamping step reads.
    const std::tuple<int, const wchar_t*, const wchar_t*> cases[] = {
        {1, L"0|Report|2|C:\\Src\\Report|Win32 Debug|Win32 Release|C:\\Src\\Report\\Report.rc|N",
         L"0 2 C:\\Src\\Report\\Report.rc"},
        {9, L"-1||0|||||N", L"-1 0 "},  {7, L"-1|", L"-1 0 "},  // "007" is not "7"
        {4, L"0|First|", L"0 1 C:\\Src\\First\\First.rc"},
        {5, L"-2|Nested", L"-2 1 "},  // found by its number, but its summary can't be read
        {10, L"0|A|1|||||N", L"0 1 "},  {11, L"-1|", L"-1 1 "},  {12, L"-2|", L"-2 0 "},
        // Staged values come first, except for the resource file the stamping step reads.
        {13, L"0|Staged|2|D:\\New|D|R|D:\\New\\Staged.vbp|Y", L"0 2 C:\\Src\\Orig\\Orig.rc"},
    };
    for (const auto& [id, settings, resource] : cases) {
        EXPECT_EQ(Settings(doc_, id).rfind(settings, 0), 0u) << id << ": " << Narrow(Settings(doc_, id));
        CompilerKind kind;
        std::wstring file;
        const int result = doc_.GetProjectResourceFile(id, kind, file);
        EXPECT_EQ(std::to_wstring(result) + L" " + std::to_wstring(kind) + L" " + file, resource) << id;
    }
    // The second of two with one number comes to light once the first is gone.
    ASSERT_EQ(doc_.RemoveProject(4), 0);
    EXPECT_EQ(Settings(doc_, 4).rfind(L"0|Second", 0), 0u);
}

// The head is read only where its elements are. Package files are untrusted: nothing in one may
// reach outside it or bring the program down, and a failed open leaves the document empty.
TEST_F(PackageDocumentTest, ReadsTheHeadAndRefusesMissingHugeMalformedAndHostilePackages) {
    EXPECT_EQ(Info(doc_), L"1||...");  // nothing loaded
    const std::string secret = "file:///" + Narrow(Write("TOP-SECRET-4711", L"secret.txt"));
    const std::wstring refused = L"1||...";
    const std::pair<std::string, std::wstring> cases[] = {
        {Package(""), L"0|Tools|2.1.0.14"},
        {Package("", "<CurrentVersion>1.2</CurrentVersion><Name>Late</Name>"), L"0||1.2.0.0"},  // later Name not read
        {Package("", "<Name>N</Name><CurrentVersion></CurrentVersion>"), L"0|N|..."},
        {Package("", "<Name>N</Name>"), L"-2|N|..."},
        {Package("", "<Name><b>x</b></Name><CurrentVersion>1</CurrentVersion>"), L"-1||..."},
        {"", refused},
        {std::string("\x00\xff\xfe\x01\x02garbage", 12), refused},
        {"<Package><Name>x</Name></Package>", refused},  // no Projects
        {"<Package><Projects></Package>", refused},
        // The screening refuses it before the parser sees it (its own table has the rest).
        {"<!DOCTYPE Package [<!ENTITY x SYSTEM \"" + secret +
             "\">]><Package><Name>&x;</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>",
         refused},
        // Any root name; comments, attributes and CDATA are not ours, but harmless.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- hand made --><Other a=\"1\"><Name><![CDATA[<Tools & more>]]>"
         "</Name><CurrentVersion>3.0.0.1</CurrentVersion><Projects/><!-- <a> --><b c='>'/></Other>",
         L"0|<Tools & more>|3.0.0.1"},
    };
    for (const auto& [xml, info] : cases) {
        ASSERT_EQ(Open(Package(Project("1", "Old"))), 0);
        EXPECT_EQ(Open(xml), info == refused ? -1 : 0) << xml;
        EXPECT_EQ(Info(doc_), info) << xml;
    }
    EXPECT_EQ(doc_.OpenPackage(dir_.File(L"missing.kwp")), -1);
    // Far larger than any package: refused before anything is read (a sparse file, so cheap).
    HANDLE huge = CreateFileW(dir_.File(L"huge.kwp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(huge, INVALID_HANDLE_VALUE);
    LONG high = 1;  // 4 GiB
    SetFilePointer(huge, 0, &high, FILE_BEGIN);
    SetEndOfFile(huge);
    CloseHandle(huge);
    EXPECT_EQ(doc_.OpenPackage(dir_.File(L"huge.kwp")), -1);
    EXPECT_FALSE(doc_.IsLoaded());
}

}  // namespace
