// Opening and reading packages, lookups by number, and package files that are malformed or hostile.
#include <windows.h>

#include "package/PackageTestSupport.h"

using namespace kw;
using namespace kwtest;

namespace {

using PackageDocumentTest = PackageTest;

TEST_F(PackageDocumentTest, ReadsNameVersionProjectsInDocumentOrderAndSettings) {
    EXPECT_EQ(Info(doc_), L"1||...");  // nothing loaded
    ASSERT_EQ(Open(Package(Project("2", "Util") + Project("1", "Report", "VB6") + Project("3", "Odd", "vc6"))), 0);
    EXPECT_EQ(Info(doc_), L"0|Tools|2.1.0.14");
    EXPECT_EQ(Listing(doc_), L"2 Util 1;1 Report 2;3 Odd 0;end -1");
    EXPECT_EQ(Settings(doc_, 1), L"0|Report|2|C:\\Src\\Report|Win32 Debug|Win32 Release|C:\\Src\\Report\\Report.rc|N");
    EXPECT_EQ(Settings(doc_, 9), L"-1||0|||||N");
    EXPECT_EQ(Open("<Package><Projects>"), -1);  // a failed open empties the document
    EXPECT_EQ(Info(doc_), L"1||...");
    const std::pair<const char*, const wchar_t*> heads[] = {
        {"<CurrentVersion>1.2</CurrentVersion><Name>Late</Name>", L"0||1.2.0.0"},  // a later Name is not read
        {"<Name>N</Name><CurrentVersion></CurrentVersion>", L"0|N|..."},
        {"<Name>N</Name>", L"-2|N|..."},
        {"<Name><b>x</b></Name><CurrentVersion>1</CurrentVersion>", L"-1||..."},
    };
    for (const auto& [head, info] : heads) {
        ASSERT_EQ(Open(Package("", head)), 0) << head;
        EXPECT_EQ(Info(doc_), info) << head;
    }
}

TEST_F(PackageDocumentTest, LookupsCompareTheNumberAsTextTheFirstWinsAndListingsStopAtAnUnreadableProject) {
    ASSERT_EQ(Open(Package(Project("007", "Seven") + Project("4", "First") + Project("4", "Second") +
                           "<Project><ProjectID><b>5</b></ProjectID><Name>Nested</Name><Compiler>VC6</Compiler>"
                           "<SourceLocation/><DebugConfig/><ReleaseConfig/><ResourceFile/><Registrable/></Project>" +
                           Project(" 6", "Blank"))),
              0);
    EXPECT_EQ(Listing(doc_), L"7 Seven 1;4 First 1;4 Second 1;end -2");
    // Nested is found by its number, but its summary can't be read.
    const std::pair<int, const wchar_t*> cases[] = {{7, L"-1|"}, {4, L"0|First"}, {5, L"-2|Nested"}, {6, L"-1|"}};
    for (const auto& [id, found] : cases) EXPECT_EQ(Settings(doc_, id).rfind(found, 0), 0u) << id;
    // The second of two with one number comes to light once the first is gone.
    ASSERT_EQ(doc_.RemoveProject(4), 0);
    EXPECT_EQ(Settings(doc_, 4).rfind(L"0|Second", 0), 0u);
    ProjectHandle empty;
    int id = 0;
    std::wstring name;
    CompilerKind kind;
    EXPECT_EQ(doc_.GetProjectSummary(empty, id, name, kind), -2);
}

TEST_F(PackageDocumentTest, MissingElementsEmptyValuesAndStagedSettings) {
    ASSERT_EQ(Open(Package(
                  "<Project><ProjectID>1</ProjectID><Name>A</Name><Compiler>VC6</Compiler>"
                  "<SourceLocation/><DebugConfig/><ReleaseConfig/><ResourceFile/><Registrable/></Project>"
                  "<Project><ProjectID>2</ProjectID><Name>B</Name><Compiler>VC6</Compiler>"
                  "<SourceLocation>x</SourceLocation></Project>"
                  "<Project><ProjectID>3</ProjectID><Name>C</Name></Project>" +
                  Project("4", "Orig", "VC6",
                          "<TempData><ProjectID>4</ProjectID><Name>Staged</Name><SourceLocation>D:\\New</SourceLocation>"
                          "<Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R</ReleaseConfig>"
                          "<ResourceFile>D:\\New\\Staged.vbp</ResourceFile><Registrable>Y</Registrable></TempData>"))),
              0);
    EXPECT_EQ(Settings(doc_, 1), L"0|A|1|||||N");
    EXPECT_EQ(Settings(doc_, 2).substr(0, 3), L"-1|");
    EXPECT_EQ(Settings(doc_, 3).substr(0, 3), L"-2|");
    // Staged values take precedence, except for the resource file the stamping step reads.
    EXPECT_EQ(Settings(doc_, 4), L"0|Staged|2|D:\\New|D|R|D:\\New\\Staged.vbp|Y");
    const std::pair<int, const wchar_t*> resources[] = {
        {2, L"-1 1 "}, {3, L"-2 0 "}, {4, L"0 2 C:\\Src\\Orig\\Orig.rc"}};
    for (const auto& [id, expected] : resources) {
        CompilerKind kind;
        std::wstring file;
        int result = doc_.GetProjectResourceFile(id, kind, file);
        EXPECT_EQ(std::to_wstring(result) + L" " + std::to_wstring(kind) + L" " + file, expected) << id;
    }
}

TEST_F(PackageDocumentTest, MissingAndHugeFilesAreRefusedAnyRootNameIsRead) {
    EXPECT_EQ(doc_.OpenPackage(dir_.File(L"missing.kwp")), -1);
    // Far larger than any package: refused before anything is read (a sparse file, so cheap).
    HANDLE huge = CreateFileW(dir_.File(L"huge.kwp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(huge, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3ll << 30;
    SetFilePointerEx(huge, size, nullptr, FILE_BEGIN);
    SetEndOfFile(huge);
    CloseHandle(huge);
    EXPECT_EQ(doc_.OpenPackage(dir_.File(L"huge.kwp")), -1);
    EXPECT_FALSE(doc_.IsLoaded());
    EXPECT_EQ(Open("<Other><Projects/></Other>"), 0);
}

// Package files are untrusted: nothing in one may reach outside it or bring the program down.
TEST_F(PackageDocumentTest, MalformedAndHostilePackagesAreRefusedAndLeakNothing) {
    Write("TOP-SECRET-4711", L"secret.txt");
    const std::string secret = "file:///" + Narrow(dir_.File(L"secret.txt"));
    std::string deep = "<a/>";
    for (int i = 0; i < 256; ++i) deep = "<a>" + deep + "</a>";
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"binary", std::string("\x00\xff\xfe\x01\x02garbage", 12)},
        {"text", "just text"},
        {"no Projects", "<Package><Name>x</Name></Package>"},
        {"unclosed", "<Package><Projects></Package>"},
        // The screening refuses these before the parser sees them (its own table has the rest).
        {"external entity", "<!DOCTYPE Package [<!ENTITY x SYSTEM \"" + secret +
                                "\">]><Package><Name>&x;</Name><CurrentVersion>1</CurrentVersion><Projects/></Package>"},
        {"257 levels", "<Package><Projects/>" + deep + "</Package>"},
    };
    for (const auto& [what, xml] : cases) {
        EXPECT_EQ(Open(xml), -1) << what;
        EXPECT_EQ(Info(doc_), L"1||...") << what;
    }
    // Comments, attributes and CDATA are not ours, but harmless.
    ASSERT_EQ(Open("<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- hand made --><Package a=\"1\">"
                   "<Name><![CDATA[<Tools & more>]]></Name><CurrentVersion>3.0.0.1</CurrentVersion>"
                   "<Projects><Project><ProjectID>1</ProjectID><Name>A&amp;B \"q\"</Name>"
                   "<Compiler>VC6</Compiler></Project></Projects><!-- <a> --><b c='>'/></Package>"),
              0);
    EXPECT_EQ(Info(doc_), L"0|<Tools & more>|3.0.0.1");
    EXPECT_EQ(Listing(doc_), L"1 A&B \"q\" 1;end -1");
}

// Beyond MAX_PATH (the text rules and encodings of a round trip are the save tests').
TEST_F(PackageDocumentTest, APackageBeyondMaxPathOpensAndSaves) {
    std::wstring folder = dir_.Path();
    while (folder.size() < 280) {
        folder += L"\\a-long-folder-name-with blanks";
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    std::wstring path = folder + L"\\package.kwp";
    WriteBytes(path, Package(Project("1", "Util")));
    ASSERT_EQ(doc_.OpenPackage(path), 0);
    EXPECT_EQ(doc_.Path(), path);
    ASSERT_EQ(doc_.SetPackageInfo(L"Renamed", L"1", L"0", L"3", L"4"), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    PackageDocument again;
    ASSERT_EQ(again.OpenPackage(path), 0);
    EXPECT_EQ(Info(again) + Listing(again), L"0|Renamed|1.0.3.4" L"1 Util 1;end -1");
}

}  // namespace
