// Creating, changing and saving packages, and what a failed save must leave behind.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/TestSupport.h"
#include "package/PackageDocument.h"

using namespace kw;
using kwtest::ScratchDir;

namespace {

class PackageEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(doc_.CreatePackage(), 0);
        doc_.SetPath(dir_.File(L"new.kwp"));
    }

    std::wstring NameOf(int id) {
        ProjectRecord record;
        return doc_.GetProjectSettings(id, record) == 0 ? record.name : L"<missing>";
    }

    std::vector<int> Ids() {
        std::vector<int> ids;
        ProjectHandle handle;
        for (int r = doc_.StartProjectEnumeration(handle); r == 0; r = doc_.NextProject(handle)) {
            int id = 0;
            std::wstring name;
            CompilerKind kind;
            if (doc_.GetProjectSummary(handle, id, name, kind) != 0) break;
            ids.push_back(id);
        }
        return ids;
    }

    ScratchDir dir_{L"edit"};
    PackageDocument doc_;
};

}  // namespace

TEST_F(PackageEditTest, NewPackageHasDefaults) {
    PackageDocument fresh;
    ASSERT_EQ(fresh.CreatePackage(), 0);
    EXPECT_TRUE(fresh.Path().empty());
    EXPECT_EQ(fresh.SavePackage(), -1);  // no path yet
    std::wstring name, a, b, c, d;
    ASSERT_EQ(fresh.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"<insert a name here>");
    EXPECT_EQ(a + L"." + b + L"." + c + L"." + d, L"1.0.0.0");
    ProjectHandle handle;
    EXPECT_EQ(fresh.StartProjectEnumeration(handle), -1);
}

TEST_F(PackageEditTest, AddProjectFillsDefaultsFromThePath) {
    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Util\\Util.dsp"), 0);
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    EXPECT_EQ(record.name, L"Util");
    EXPECT_EQ(record.sourceLocation, L"C:\\Src\\Util");
    EXPECT_EQ(record.compilerKind, CompilerVC6);
    EXPECT_EQ(record.debugConfig, L"Win32 Debug");
    EXPECT_EQ(record.releaseConfig, L"Win32 Release");
    EXPECT_EQ(record.resourceFile, L"C:\\Src\\Util\\Util.rc");
    EXPECT_FALSE(record.registrable);

    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Rep\\Rep.vbp"), 1);
    ASSERT_EQ(doc_.GetProjectSettings(2, record), 0);
    EXPECT_EQ(record.compilerKind, CompilerVB6);
    EXPECT_EQ(record.resourceFile, L"C:\\Src\\Rep\\Rep.vbp");

    EXPECT_EQ(doc_.AddProject(L""), -1);
    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Util\\Util.DSP"), -2);
    EXPECT_EQ(doc_.AddProject(L"Util.dsp"), -2);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2}));

    // The saved file carries Dependencies, written empty, and reads back as empty.
    ASSERT_EQ(doc_.SavePackage(), 0);
    std::string saved = kwtest::ReadBytes(doc_.Path());
    EXPECT_NE(saved.find("Dependencies"), std::string::npos);
    EXPECT_EQ(saved.find("TempData"), std::string::npos);
}

TEST_F(PackageEditTest, NumbersNeverRepeat) {
    doc_.AddProject(L"C:\\a\\A.dsp");
    doc_.AddProject(L"C:\\b\\B.dsp");
    doc_.AddProject(L"C:\\c\\C.dsp");
    ASSERT_EQ(doc_.RemoveProject(3), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\d\\D.dsp"), 2);  // number 3 again
    ASSERT_EQ(doc_.RemoveProject(2), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\e\\E.dsp"), 3);  // number 4
    EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(doc_.RemoveProject(2), -1);

    // A hand-edited package with a large number early on: the next number is past the largest.
    kwtest::WriteBytes(dir_.File(L"hand.kwp"),
                       "<Package><Name>x</Name><CurrentVersion>1</CurrentVersion><Projects>"
                       "<Project><ProjectID>9</ProjectID><Name>A</Name><Compiler>VC6</Compiler></Project>"
                       "<Project><ProjectID>5</ProjectID><Name>B</Name><Compiler>VC6</Compiler></Project>"
                       "</Projects></Package>");
    ASSERT_EQ(doc_.OpenPackage(dir_.File(L"hand.kwp")), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\f\\F.dsp"), 9);
    EXPECT_EQ(NameOf(10), L"F");
}

TEST_F(PackageEditTest, StagedSettingsAreCommittedBySaveAndDroppedByDiscard) {
    doc_.AddProject(L"C:\\Src\\Util\\Util.dsp");
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    record.name = L"Utility";
    record.compilerKind = CompilerUnknown;  // stages "VB6"
    record.registrable = true;
    record.debugConfig = L"";
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    EXPECT_EQ(doc_.SetProjectSettings(5, record), -1);

    ProjectRecord seen;
    ASSERT_EQ(doc_.GetProjectSettings(1, seen), 0);
    EXPECT_EQ(seen.name, L"Utility");
    EXPECT_EQ(seen.compilerKind, CompilerVB6);
    EXPECT_TRUE(seen.registrable);
    EXPECT_EQ(seen.debugConfig, L"");

    // Staging again rewrites the same TempData.
    record.name = L"Utility2";
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.GetProjectSettings(1, seen), 0);
    EXPECT_EQ(seen.name, L"Utility2");

    // Discard keeps added projects but drops staged settings.
    doc_.AddProject(L"C:\\Src\\Two\\Two.dsp");
    doc_.DiscardPendingChanges();
    EXPECT_EQ(NameOf(1), L"Util");
    EXPECT_EQ(NameOf(2), L"Two");

    // Save commits: staged values land in the project's own elements and TempData is gone.
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_EQ(kwtest::ReadBytes(doc_.Path()).find("TempData"), std::string::npos);
    PackageDocument reread;
    ASSERT_EQ(reread.OpenPackage(doc_.Path()), 0);
    ProjectRecord saved;
    ASSERT_EQ(reread.GetProjectSettings(1, saved), 0);
    EXPECT_EQ(saved.name, L"Utility2");
    EXPECT_EQ(saved.compilerKind, CompilerVB6);
    EXPECT_EQ(saved.debugConfig, L"");
    EXPECT_TRUE(saved.registrable);

    // Writing into an element that was saved empty gives it its text back.
    saved.debugConfig = L"Win32 Unicode Debug";
    ASSERT_EQ(reread.SetProjectSettings(1, saved), 0);
    ASSERT_EQ(reread.SavePackage(), 0);
    PackageDocument third;
    ASSERT_EQ(third.OpenPackage(doc_.Path()), 0);
    ASSERT_EQ(third.GetProjectSettings(1, saved), 0);
    EXPECT_EQ(saved.debugConfig, L"Win32 Unicode Debug");
}

TEST_F(PackageEditTest, SavedSettingsOfAHandWrittenProjectAreKept) {
    // A project with only the elements the list needs: everything the editor stages is saved.
    kwtest::WriteBytes(dir_.File(L"hand.kwp"),
                       "<Package><Name>x</Name><CurrentVersion>1</CurrentVersion><Projects><Project>"
                       "<ProjectID>4</ProjectID><Name>A</Name><Compiler>VC6</Compiler></Project></Projects></Package>");
    ASSERT_EQ(doc_.OpenPackage(dir_.File(L"hand.kwp")), 0);
    ProjectRecord record;
    record.name = L"A";
    record.compilerKind = CompilerVC6;
    record.sourceLocation = L"C:\\Src\\A";
    record.debugConfig = L"Win32 Debug";
    record.releaseConfig = L"Win32 Release";
    record.resourceFile = L"C:\\Src\\A\\A.rc";
    record.registrable = true;
    ASSERT_EQ(doc_.SetProjectSettings(4, record), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);

    PackageDocument reread;
    ASSERT_EQ(reread.OpenPackage(dir_.File(L"hand.kwp")), 0);
    ProjectRecord saved;
    ASSERT_EQ(reread.GetProjectSettings(4, saved), 0);
    EXPECT_EQ(saved.sourceLocation, L"C:\\Src\\A");
    EXPECT_EQ(saved.releaseConfig, L"Win32 Release");
    EXPECT_EQ(saved.resourceFile, L"C:\\Src\\A\\A.rc");
    EXPECT_TRUE(saved.registrable);
}

TEST_F(PackageEditTest, SetPackageInfoWritesNameAndJoinedVersion) {
    ASSERT_EQ(doc_.SetPackageInfo(L"Suite", L"1", L"", L"0", L"0"), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_NE(kwtest::ReadBytes(doc_.Path()).find("1..0.0"), std::string::npos);
    PackageDocument reread;
    ASSERT_EQ(reread.OpenPackage(doc_.Path()), 0);
    std::wstring name, a, b, c, d;
    ASSERT_EQ(reread.GetPackageInfo(name, a, b, c, d), 0);
    EXPECT_EQ(name, L"Suite");
    EXPECT_EQ(a + b + c + d, L"1000");

    kwtest::WriteBytes(dir_.File(L"nover.kwp"), "<Package><Name>x</Name><Projects/></Package>");
    ASSERT_EQ(reread.OpenPackage(dir_.File(L"nover.kwp")), 0);
    EXPECT_EQ(reread.SetPackageInfo(L"y", L"1", L"2", L"3", L"4"), -2);
}

TEST_F(PackageEditTest, FailedSavesLeaveTheOldFileAndNoTemporaryFile) {
    const std::string original = "<Package><Name>Old</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects/></Package>";
    const std::wstring path = dir_.File(L"keep me.kwp");
    kwtest::WriteBytes(path, original);
    ASSERT_EQ(doc_.OpenPackage(path), 0);
    ASSERT_EQ(doc_.SetPackageInfo(L"New", L"2", L"0", L"0", L"0"), 0);

    // Read-only file.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(doc_.SavePackage(), -2);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(kwtest::ReadBytes(path), original);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"keep me.kwp");

    // Locked by another program.
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(doc_.SavePackage(), -2);
    CloseHandle(lock);
    EXPECT_EQ(kwtest::ReadBytes(path), original);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"keep me.kwp");

    // Folder gone.
    doc_.SetPath(dir_.File(L"gone\\p.kwp"));
    EXPECT_EQ(doc_.SavePackage(), -2);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"keep me.kwp");

    // Staged settings that can't be committed (an element where the text belongs).
    const std::string staged =
        "<Package><Name>Old</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects><Project>"
        "<ProjectID>1</ProjectID><Name>A</Name><TempData><Name><b/></Name></TempData></Project></Projects></Package>";
    const std::wstring stagedPath = dir_.File(L"staged.kwp");
    kwtest::WriteBytes(stagedPath, staged);
    PackageDocument other;
    ASSERT_EQ(other.OpenPackage(stagedPath), 0);
    ASSERT_EQ(other.SetPackageInfo(L"New", L"2", L"0", L"0", L"0"), 0);
    EXPECT_EQ(other.SavePackage(), -2);
    EXPECT_EQ(kwtest::ReadBytes(stagedPath), staged);
    DeleteFileW(stagedPath.c_str());

    // And once the file is writable again the save goes through.
    doc_.SetPath(path);
    EXPECT_EQ(doc_.SavePackage(), 0);
    EXPECT_NE(kwtest::ReadBytes(path).find("New"), std::string::npos);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), L"keep me.kwp");
}
