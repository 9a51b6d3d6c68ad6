// Changing packages: numbering, staged settings and dependencies, removals, and what a failed
// save must leave behind.
#include <windows.h>

#include "package/PackageTestSupport.h"

using namespace kw;
using namespace kwtest;

namespace {

class PackageEditTest : public PackageTest {
protected:
    // The project's dependency text, in this document or as saved.
    std::wstring Text(int id, PackageDocument* doc = nullptr) {
        std::wstring text;
        return (doc ? doc : &doc_)->GetProjectDependencyText(id, text) == 0 ? text : L"<failed>";
    }
    std::wstring Reread(int id) {
        PackageDocument reread;
        if (reread.OpenPackage(doc_.Path()) != 0) return L"<not opened>";
        return Settings(reread, id) + L"|" + Text(id, &reread);
    }
};

// Settings and dependencies are staged: read at once, dropped by Discard, committed by Save.
TEST_F(PackageEditTest, StagedChangesAreReadAtOnceDroppedByDiscardAndCommittedBySave) {
    ASSERT_EQ(Open(Package(Project("1", "MathLib") + Project("2", "Calc", "VC6", "", " 1 , 3 ") +
                           Project("3", "Util") + "<Project><ProjectID>4</ProjectID><Name>Bare</Name>"
                           "<Compiler>VC6</Compiler><DebugConfig/></Project>")),
              0);
    EXPECT_EQ(Text(2) + L"|" + Text(4) + L"|" + Text(9), L" 1 , 3 ||<failed>");  // missing is none
    std::vector<ProjectDependencies> all;
    ASSERT_EQ(doc_.GetDependencies(all), 0);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].name + L"|" + all[1].text, L"Calc| 1 , 3 ");

    // The same choice changes nothing: the file is written back byte for byte as without it.
    ASSERT_EQ(doc_.SavePackage(), 0);
    const std::string untouched = ReadBytes(doc_.Path());
    ASSERT_EQ(doc_.SetProjectDependencies(2, {3, 1}), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_EQ(ReadBytes(doc_.Path()), untouched);
    EXPECT_NE(untouched.find("<Dependencies> 1 , 3 </Dependencies>"), std::string::npos);

    ASSERT_EQ(doc_.SetProjectDependencies(2, {3}), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(4, {1, 1}), 0);
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(1, record), 0);
    record.name = L"Utility";
    record.compilerKind = CompilerUnknown;  // stages "VB6"
    record.registrable = true;
    record.debugConfig = L"";
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    EXPECT_EQ(doc_.SetProjectSettings(9, record), -1);
    EXPECT_EQ(doc_.SetProjectDependencies(9, {1}), -1);
    EXPECT_EQ(Settings(doc_, 1), L"0|Utility|2|C:\\Src\\MathLib||Win32 Release|C:\\Src\\MathLib\\MathLib.rc|Y");
    EXPECT_EQ(Text(2) + L"|" + Text(4), L"3|1");
    record.name = L"Utility2";  // staging again rewrites the same TempData
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    EXPECT_EQ(Listing(doc_), L"1 Utility2 2;2 Calc 1;3 Util 1;4 Bare 1;end -1");  // staged copies list alike

    // Discard keeps added projects but drops what was staged.
    doc_.AddProject(L"C:\\Src\\Two\\Two.dsp");
    doc_.DiscardPendingChanges();
    EXPECT_EQ(Listing(doc_), L"1 MathLib 1;2 Calc 1;3 Util 1;4 Bare 1;5 Two 1;end -1");
    EXPECT_EQ(Text(2) + L"|" + Text(4), L" 1 , 3 |");

    // Save commits: staged values land in the project's own elements, also where a hand-written
    // project lacks them or has them empty, dependencies as "1,3"; TempData is gone.
    ASSERT_EQ(doc_.SetProjectSettings(1, record), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(2, {3}), 0);
    ASSERT_EQ(doc_.GetProjectSettings(2, record), 0);
    record.debugConfig = L"Win32 Unicode Debug";
    ASSERT_EQ(doc_.SetProjectSettings(2, record), 0);
    ASSERT_EQ(doc_.SetProjectSettings(4, record), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(2, {1, 3}), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(4, {2, 1}), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    EXPECT_EQ(ReadBytes(doc_.Path()).find("TempData"), std::string::npos);
    EXPECT_EQ(Reread(1), L"0|Utility2|2|C:\\Src\\MathLib||Win32 Release|C:\\Src\\MathLib\\MathLib.rc|Y|");
    const std::wstring calc = L"0|Calc|1|C:\\Src\\Calc|Win32 Unicode Debug|Win32 Release|C:\\Src\\Calc\\Calc.rc|N|";
    EXPECT_EQ(Reread(2), calc + L"1,3");
    EXPECT_EQ(Reread(4), calc + L"1,2");
    ASSERT_EQ(Open("<Package><Name>x</Name><Projects/></Package>"), 0);
    EXPECT_EQ(doc_.SetPackageInfo(L"y", L"1", L"2", L"3", L"4"), -2);  // no CurrentVersion to write to
}

// A new project gets one more than the largest number, so no number is given twice while the
// package lives. A removed number leaves every other project's dependencies, unless another
// project still carries it. Neither is staged: Discard brings nothing back.
TEST_F(PackageEditTest, NumbersNeverRepeatAndARemovedOneLeavesEveryDependency) {
    ASSERT_EQ(Open(Package(Project("1", "MathLib") + Project("2", "Calc", "VC6", "", "1, 3") + Project("3", "Util") +
                           Project("3", "Twin", "VC6", "", "1") + Project("4", "Odd", "VC6", "", "x,1") +
                           Project("5", "Solo", "VC6", "", "3"))),
              0);
    ASSERT_EQ(doc_.SetProjectDependencies(5, {1, 3}), 0);  // staged too
    ASSERT_EQ(doc_.RemoveProject(1), 0);
    EXPECT_EQ(doc_.RemoveProject(1), -1);
    ASSERT_EQ(doc_.RemoveProject(3), 0);  // Twin still carries 3
    EXPECT_EQ(Text(2) + L"|" + Text(3) + L"|" + Text(4) + L"|" + Text(5), L"3||x,1|3");
    EXPECT_EQ(doc_.AddProject(L"C:\\Src\\Rep\\Rep.vbp"), 5);
    doc_.DiscardPendingChanges();
    EXPECT_EQ(Text(5), L"3");
    EXPECT_EQ(doc_.AddProject(L"Util.dsp"), -2);  // the path rule's refusal, as the path table has it
    ASSERT_EQ(doc_.RemoveProject(6), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\d\\D.dsp"), 5);  // number 6 again: it was the largest
    ASSERT_EQ(doc_.RemoveProject(5), 0);
    EXPECT_EQ(doc_.AddProject(L"C:\\e\\E.dsp"), 6);
    EXPECT_EQ(Listing(doc_), L"2 Calc 1;3 Twin 1;4 Odd 1;6 D 1;7 E 1;end -1");
}

// The old file stays and no user file is touched: beyond MAX_PATH, through folders with blanks,
// beside files of the user's named as a temporary file might be.
TEST_F(PackageEditTest, FailedSavesLeaveTheOldFileAndNoTemporaryFileAndNoUserFileIsTouched) {
    // Staged settings that can't be committed (an element where the text belongs).
    const std::string staged = Package("<Project><ProjectID>1</ProjectID><Name>A</Name><TempData><Name><b/></Name>"
                                       "</TempData></Project>");
    ASSERT_EQ(Open(staged), 0);
    EXPECT_EQ(doc_.SavePackage(), -2);
    EXPECT_EQ(ReadBytes(doc_.Path()), staged);

    std::wstring folder = dir_.Path();
    while (folder.size() < 280) {
        folder += L"\\a-long-folder-name-with blanks";
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    const std::wstring path = folder + L"\\keep me.kwp", listed = L"keep me.kwp keep me.kwp.kwtmp keep me.kwp.new";
    const std::string original = Package(Project("1", "Util"), "<Name>Old</Name><CurrentVersion>1</CurrentVersion>");
    WriteBytes(path, original);
    WriteBytes(path + L".kwtmp", "mine");
    WriteBytes(path + L".new", "mine");
    ASSERT_EQ(doc_.OpenPackage(path), 0);
    EXPECT_EQ(doc_.Path(), path);
    // A control character can't be written as XML 1.0 at all.
    ASSERT_EQ(doc_.SetPackageInfo(L"bell\a", L"2", L"0", L"3", L"4"), 0);
    EXPECT_EQ(doc_.SavePackage(), -2);
    ASSERT_EQ(doc_.SetPackageInfo(L"New", L"2", L"0", L"3", L"4"), 0);
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

    // Once the file can be written the save goes through, and the user's files are as they were.
    doc_.SetPath(path);
    EXPECT_EQ(doc_.SavePackage(), 0);
    PackageDocument again;
    ASSERT_EQ(again.OpenPackage(path), 0);
    EXPECT_EQ(Info(again) + Listing(again), L"0|New|2.0.3.4" L"1 Util 1;end -1");
    EXPECT_EQ(ListFolder(folder), listed);
    EXPECT_EQ(ReadBytes(path + L".kwtmp"), "mine");
}

}  // namespace
