// Creating, changing and saving packages, and what a failed save must leave behind.
#include <windows.h>

#include "package/PackageTestSupport.h"

using namespace kw;
using namespace kwtest;

namespace {

class PackageEditTest : public PackageTest {
protected:
    void SetUp() override {
        ASSERT_EQ(doc_.CreatePackage(L"Suite"), 0);
        doc_.SetPath(dir_.File(L"new.kwp"));
    }
    std::wstring NameOf(int id) {
        ProjectRecord record;
        return doc_.GetProjectSettings(id, record) == 0 ? record.name : L"<missing>";
    }
    std::wstring Reread(int id) {
        PackageDocument reread;
        return reread.OpenPackage(doc_.Path()) == 0 ? Settings(reread, id) : L"<not opened>";
    }
};

TEST_F(PackageEditTest, AddProjectFillsDefaultsFromThePathAndNumbersNeverRepeat) {
    EXPECT_EQ(Info(doc_) + Listing(doc_), L"0|Suite|1.0.0.0end -1");
    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Util\\Util.dsp"), 0);
    EXPECT_EQ(Settings(doc_, 1), L"0|Util|1|C:\\Src\\Util|Win32 Debug|Win32 Release|C:\\Src\\Util\\Util.rc|N");
    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Rep\\Rep.vbp"), 1);
    EXPECT_EQ(doc_.AddProject(L"Util.dsp"), -2);  // the path rule's refusal, as the path table has it

    doc_.AddProject(L"C:\\c\\C.dsp");
    ASSERT_EQ(doc_.RemoveProject(3), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\d\\D.dsp"), 2);  // number 3 again: it was the largest
    ASSERT_EQ(doc_.RemoveProject(2), 0);
    EXPECT_EQ(doc_.RemoveProject(2), -1);
    EXPECT_EQ(doc_.AddProject(L"C:\\e\\E.dsp"), 3);
    EXPECT_EQ(Listing(doc_), L"1 Util 1;3 D 1;4 E 1;end -1");

    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_NE(ReadBytes(doc_.Path()).find("<Dependencies"), std::string::npos);  // written empty
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
    EXPECT_EQ(Settings(doc_, 1), L"0|Utility|2|C:\\Src\\Util||Win32 Release|C:\\Src\\Util\\Util.rc|Y");
    record.name = L"Utility2";  // staging again rewrites the same TempData
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    EXPECT_EQ(NameOf(1), L"Utility2");

    // Discard keeps added projects but drops staged settings.
    doc_.AddProject(L"C:\\Src\\Two\\Two.dsp");
    doc_.DiscardPendingChanges();
    EXPECT_EQ(NameOf(1) + L"," + NameOf(2), L"Util,Two");

    // Save commits: staged values land in the project's own elements and TempData is gone.
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_EQ(ReadBytes(doc_.Path()).find("TempData"), std::string::npos);
    EXPECT_EQ(Reread(1), L"0|Utility2|2|C:\\Src\\Util||Win32 Release|C:\\Src\\Util\\Util.rc|Y");
    EXPECT_EQ(NameOf(2), L"Two");

    // Writing into an element that was saved empty gives it its text back.
    ASSERT_EQ(doc_.OpenPackage(doc_.Path()), 0);
    record.debugConfig = L"Win32 Unicode Debug";
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    const std::wstring saved = L"0|Utility2|2|C:\\Src\\Util|Win32 Unicode Debug|Win32 Release|C:\\Src\\Util\\Util.rc|Y";
    EXPECT_EQ(Reread(1), saved);

    // A hand-written project with only the elements the list needs: every staged one is saved.
    ASSERT_EQ(Open(Package("<Project><ProjectID>1</ProjectID><Name>A</Name><Compiler>VC6</Compiler></Project>")), 0);
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_EQ(Reread(1), saved);
    ASSERT_EQ(Open("<Package><Name>x</Name><Projects/></Package>"), 0);
    EXPECT_EQ(doc_.SetPackageInfo(L"y", L"1", L"2", L"3", L"4"), -2);  // no CurrentVersion to write to
}

TEST_F(PackageEditTest, FailedSavesLeaveTheOldFileAndNoTemporaryFileAndNoUserFileIsTouched) {
    const std::string original = Package("", "<Name>Old</Name><CurrentVersion>1.0.0.0</CurrentVersion>");
    const std::wstring path = Write(original, L"keep me.kwp");
    // Files of the user's beside the package, named as a temporary file might be.
    Write("mine", L"keep me.kwp.kwtmp");
    Write("mine", L"keep me.kwp.new");
    PackageDocument fresh;
    ASSERT_EQ(fresh.CreatePackage(), 0);
    EXPECT_EQ(fresh.SavePackage(), -1);  // no path yet
    const std::wstring folder = kwtest::ListFolder(dir_.Path());
    ASSERT_EQ(doc_.OpenPackage(path), 0);
    ASSERT_EQ(doc_.SetPackageInfo(L"New", L"2", L"0", L"0", L"0"), 0);

    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(doc_.SavePackage(), -2) << "read-only";
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(doc_.SavePackage(), -2) << "locked";
    CloseHandle(lock);
    doc_.SetPath(dir_.File(L"gone\\p.kwp"));
    EXPECT_EQ(doc_.SavePackage(), -2) << "folder gone";
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), folder);

    // Staged settings that can't be committed (an element where the text belongs).
    const std::string staged = Package("<Project><ProjectID>1</ProjectID><Name>A</Name><TempData><Name><b/></Name>"
                                       "</TempData></Project>");
    PackageDocument other;
    ASSERT_EQ(other.OpenPackage(Write(staged, L"staged.kwp")), 0);
    ASSERT_EQ(other.SetPackageInfo(L"New", L"2", L"0", L"0", L"0"), 0);
    EXPECT_EQ(other.SavePackage(), -2);
    EXPECT_EQ(ReadBytes(dir_.File(L"staged.kwp")), staged);
    DeleteFileW(dir_.File(L"staged.kwp").c_str());

    // Once the file can be written the save goes through, and the user's files are as they were.
    doc_.SetPath(path);
    EXPECT_EQ(doc_.SavePackage(), 0);
    EXPECT_NE(ReadBytes(path).find("New"), std::string::npos);
    EXPECT_EQ(kwtest::ListFolder(dir_.Path()), folder);
    EXPECT_EQ(ReadBytes(dir_.File(L"keep me.kwp.kwtmp")), "mine");
}

}  // namespace
