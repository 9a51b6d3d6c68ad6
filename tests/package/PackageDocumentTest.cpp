// Opening, reading, editing and saving packages through PackageDocument.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/TestSupport.h"
#include "package/PackageDocument.h"

using namespace kw;
using kwtest::ScratchDir;

namespace {

std::string Project(const std::string& id, const std::string& name, const std::string& compiler = "VC6",
                    const std::string& extra = "") {
    return "<Project><ProjectID>" + id + "</ProjectID><Name>" + name + "</Name><SourceLocation>C:\\Src\\" +
           name + "</SourceLocation><Compiler>" + compiler +
           "</Compiler><DebugConfig>Win32 Debug</DebugConfig><ReleaseConfig>Win32 Release</ReleaseConfig>"
           "<ResourceFile>C:\\Src\\" + name + "\\" + name + ".rc</ResourceFile><Registrable>N</Registrable>"
           "<Dependencies/>" + extra + "</Project>";
}

std::string Package(const std::string& projects, const std::string& head =
                        "<Name>Tools</Name><CurrentVersion>2.1.0.14</CurrentVersion>") {
    return "<Package>" + head + "<Projects>" + projects + "</Projects></Package>";
}

struct Listed {
    int id;
    std::wstring name;
    CompilerKind kind;
};

// Lists the way the main window does; stops at the first non-zero result.
std::vector<Listed> ListAll(PackageDocument& doc, int* lastResult = nullptr) {
    std::vector<Listed> rows;
    ProjectHandle handle;
    int result = doc.StartProjectEnumeration(handle);
    while (result == 0) {
        Listed row{};
        result = doc.GetProjectSummary(handle, row.id, row.name, row.kind);
        if (result != 0) break;
        rows.push_back(row);
        result = doc.NextProject(handle);
    }
    if (lastResult) *lastResult = result;
    return rows;
}

class PackageDocumentTest : public ::testing::Test {
protected:
    std::wstring Write(const std::string& xml, const wchar_t* name = L"p.kwp") {
        std::wstring path = dir_.File(name);
        kwtest::WriteBytes(path, xml);
        return path;
    }
    int Open(const std::string& xml) { return doc_.OpenPackage(Write(xml)); }

    ScratchDir dir_{L"pkg"};
    PackageDocument doc_;
};

}  // namespace

TEST_F(PackageDocumentTest, ReadsNameVersionAndProjectsInDocumentOrder) {
    ASSERT_EQ(Open(Package(Project("2", "Util") + Project("1", "Report", "VB6") + Project("3", "Odd", "vc6"))), 0);
    std::wstring name, a, b, c, d;
    ASSERT_EQ(doc_.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"Tools");
    EXPECT_EQ(a + L"|" + b + L"|" + c + L"|" + d, L"2|1|0|14");

    int last = 0;
    auto rows = ListAll(doc_, &last);
    EXPECT_EQ(last, -1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, 2);
    EXPECT_EQ(rows[0].name, L"Util");
    EXPECT_EQ(rows[0].kind, CompilerVC6);
    EXPECT_EQ(rows[1].kind, CompilerVB6);
    EXPECT_EQ(rows[2].kind, CompilerUnknown);

    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    EXPECT_EQ(record.name, L"Report");
    EXPECT_EQ(record.compilerKind, CompilerVB6);
    EXPECT_EQ(record.sourceLocation, L"C:\\Src\\Report");
    EXPECT_EQ(record.debugConfig, L"Win32 Debug");
    EXPECT_EQ(record.releaseConfig, L"Win32 Release");
    EXPECT_EQ(record.resourceFile, L"C:\\Src\\Report\\Report.rc");
    EXPECT_FALSE(record.registrable);
    EXPECT_EQ(doc_.GetProjectSettings(9, record), -1);
    EXPECT_TRUE(record.name.empty());
}

TEST_F(PackageDocumentTest, PackageInfoRules) {
    std::wstring name, a, b, c, d;
    EXPECT_EQ(doc_.GetPackageInfo(name, a, b, c, d), 1);  // nothing loaded

    ASSERT_EQ(Open(Package("", "<CurrentVersion>1.2</CurrentVersion><Name>Late</Name>")), 0);
    ASSERT_EQ(doc_.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"");  // a Name after CurrentVersion is not read
    EXPECT_EQ(a + b + c + d, L"1200");

    ASSERT_EQ(Open(Package("", "<Name>N</Name><CurrentVersion></CurrentVersion>")), 0);
    ASSERT_EQ(doc_.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(a + b + c + d, L"");

    ASSERT_EQ(Open(Package("", "<Name>N</Name>")), 0);
    EXPECT_EQ(doc_.GetPackageInfo(name, a, b, c, d), -2);

    ASSERT_EQ(Open(Package("", "<Name><b>x</b></Name><CurrentVersion>1</CurrentVersion>")), 0);
    EXPECT_EQ(doc_.GetPackageInfo(name, a, b, c, d), -1);

    // A failed open empties the document.
    EXPECT_EQ(Open("<Package><Projects>"), -1);
    EXPECT_EQ(doc_.GetPackageInfo(name, a, b, c, d), 1);
}

TEST_F(PackageDocumentTest, ListingStopsAtFirstUnreadableProject) {
    ASSERT_EQ(Open(Package(Project("1", "A") + "<Project><ProjectID>2</ProjectID><Name>B</Name></Project>" +
                           Project("3", "C"))),
              0);
    int last = 0;
    auto rows = ListAll(doc_, &last);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(last, -2);

    ASSERT_EQ(Open(Package("")), 0);
    ProjectHandle handle;
    EXPECT_EQ(doc_.StartProjectEnumeration(handle), -1);
    EXPECT_TRUE(handle.Empty());
    int id = 0;
    std::wstring name;
    CompilerKind kind;
    EXPECT_EQ(doc_.GetProjectSummary(handle, id, name, kind), -2);
}

TEST_F(PackageDocumentTest, LookupsCompareNumbersAsStrings) {
    ASSERT_EQ(Open(Package(Project("007", "Seven") + Project("4", "First") + Project("4", "Second"))), 0);
    auto rows = ListAll(doc_);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, 7);
    ProjectRecord record;
    EXPECT_EQ(doc_.GetProjectSettings(7, record), -1);
    ASSERT_EQ(doc_.GetProjectSettings(4, record), 0);
    EXPECT_EQ(record.name, L"First");
}

TEST_F(PackageDocumentTest, MissingElementsAndEmptyValues) {
    ASSERT_EQ(Open(Package(
                  "<Project><ProjectID>1</ProjectID><Name>A</Name><Compiler>VC6</Compiler>"
                  "<SourceLocation/><DebugConfig/><ReleaseConfig/><ResourceFile/><Registrable/></Project>"
                  "<Project><ProjectID>2</ProjectID><Name>B</Name><Compiler>VC6</Compiler>"
                  "<SourceLocation>x</SourceLocation></Project>"
                  "<Project><ProjectID>3</ProjectID><Name>C</Name></Project>")),
              0);
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    EXPECT_EQ(record.resourceFile, L"");
    EXPECT_FALSE(record.registrable);
    EXPECT_EQ(doc_.GetProjectSettings(2, record), -1);
    EXPECT_EQ(doc_.GetProjectSettings(3, record), -2);

    CompilerKind kind;
    std::wstring file;
    EXPECT_EQ(doc_.GetProjectResourceFile(2, kind, file), -1);
    EXPECT_EQ(kind, CompilerVC6);
    EXPECT_EQ(doc_.GetProjectResourceFile(3, kind, file), -2);
}

TEST_F(PackageDocumentTest, TempDataTakesPrecedenceExceptForResourceFileLookup) {
    std::string staged =
        "<TempData><ProjectID>1</ProjectID><Name>Staged</Name><SourceLocation>D:\\New</SourceLocation>"
        "<Compiler>VB6</Compiler><DebugConfig>D</DebugConfig><ReleaseConfig>R</ReleaseConfig>"
        "<ResourceFile>D:\\New\\Staged.vbp</ResourceFile><Registrable>Y</Registrable></TempData>";
    ASSERT_EQ(Open(Package(Project("1", "Orig", "VC6", staged))), 0);
    auto rows = ListAll(doc_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, L"Staged");
    EXPECT_EQ(rows[0].kind, CompilerVB6);

    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    EXPECT_EQ(record.sourceLocation, L"D:\\New");
    EXPECT_EQ(record.resourceFile, L"D:\\New\\Staged.vbp");
    EXPECT_TRUE(record.registrable);

    CompilerKind kind;
    std::wstring file;
    ASSERT_EQ(doc_.GetProjectResourceFile(1, kind, file), 0);
    EXPECT_EQ(kind, CompilerVB6);
    EXPECT_EQ(file, L"C:\\Src\\Orig\\Orig.rc");
}

TEST_F(PackageDocumentTest, OpenFailuresLeaveNothingLoaded) {
    EXPECT_EQ(doc_.OpenPackage(dir_.File(L"missing.kwp")), -1);
    EXPECT_EQ(Open(""), -1);
    EXPECT_EQ(Open(std::string("\x00\xff\xfe\x01\x02garbage", 12)), -1);
    EXPECT_EQ(Open("<Package><Name>x</Name></Package>"), -1);  // no Projects
    EXPECT_EQ(Open("<Package><Projects></Package>"), -1);
    EXPECT_EQ(Open("just text"), -1);
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
    // The root's name is not checked.
    EXPECT_EQ(Open("<Other><Projects/></Other>"), 0);
}

TEST_F(PackageDocumentTest, LongPathsAreKeptWhole) {
    std::wstring folder = dir_.Path();
    while (folder.size() < 280) {
        folder += L"\\a-long-folder-name-with blanks";
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    std::wstring path = folder + L"\\package.kwp";
    kwtest::WriteBytes(path, Package(Project("1", "A")));
    ASSERT_EQ(doc_.OpenPackage(path), 0);
    EXPECT_EQ(doc_.Path(), path);
    ASSERT_EQ(doc_.SetPackageInfo(L"Renamed", L"1", L"2", L"3", L"4"), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    PackageDocument again;
    ASSERT_EQ(again.OpenPackage(path), 0);
    std::wstring name, a, b, c, d;
    ASSERT_EQ(again.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"Renamed");
}

TEST_F(PackageDocumentTest, NonAsciiTextSurvivesARoundTrip) {
    ASSERT_EQ(Open(Package(Project("1", "\xC3\x9C" "bersicht-\xE6\x97\xA5\xE6\x9C\xAC"))), 0);
    auto rows = ListAll(doc_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, L"\u00DCbersicht-\u65E5\u672C");
    ASSERT_EQ(doc_.SavePackage(), 0);
    PackageDocument again;
    ASSERT_EQ(again.OpenPackage(doc_.Path()), 0);
    EXPECT_EQ(ListAll(again)[0].name, L"\u00DCbersicht-\u65E5\u672C");
}
