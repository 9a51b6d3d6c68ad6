// Project dependencies: their text, the refusals of a package whose dependencies make no sense,
// and how the document reads, stages, saves and cleans them.
#include "package/PackageTestSupport.h"

#include "package/Dependencies.h"

using namespace kw;
using namespace kwtest;

namespace {

TEST(Dependencies, TextReadsAsAscendingNumbersOrIsRefusedWhole) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"1,4", L"1,4"},  {L" 1 , 4 ", L"1,4"}, {L"", L""},         {L"  \t ", L""},
        {L"4,1,4", L"1,4"}, {L"007", L"7"},       {L"3", L"3"},       {L"2147483647", L"2147483647"},
        {L"x", nullptr},   {L"1,,2", nullptr},   {L"1,", nullptr},   {L",1", nullptr},
        {L"1 2", nullptr}, {L"-3", nullptr},     {L"+3", nullptr},   {L"2147483648", nullptr},
        {L"1;4", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<int> ids{99};
        bool read = ParseDependencies(text, ids);
        EXPECT_EQ(read, expected != nullptr) << text;
        EXPECT_EQ(FormatDependencies(ids), read ? expected : L"") << text;
    }
    EXPECT_EQ(ListDependencies({1, 4}), L"1, 4");
}

TEST(Dependencies, APackageIsRefusedAtItsFirstProblemInPackageOrder) {
    using Projects = std::vector<ProjectDependencies>;
    const std::pair<Projects, std::wstring> cases[] = {
        {{{1, L"MathLib", L""}, {2, L"Calc", L"1"}, {3, L"Tool", L" 1 , 2 "}}, L""},
        {{}, L""},
        {{{1, L"MathLib", L""}, {2, L"Calc", L"1,9"}}, L"Project 'Calc' depends on 9, which the package does not have."},
        {{{1, L"MathLib", L""}, {2, L"Calc", L"2"}}, L"Project 'Calc' depends on itself."},
        {{{1, L"MathLib", L"1,,2"}, {2, L"Calc", L"9"}},
         L"Project 'MathLib' lists its dependencies as '1,,2', which is not a list of project numbers separated by "
         L"commas."},
        {{{1, L"Calc", L"2"}, {2, L"MathLib", L"1"}}, L"Projects depend on each other in a circle: Calc -> MathLib -> Calc."},
        // Reported from where the circle closes, not from the project the search started at.
        {{{1, L"App", L"2"}, {2, L"Ui", L"3"}, {3, L"Core", L"4"}, {4, L"Base", L"2"}},
         L"Projects depend on each other in a circle: Ui -> Core -> Base -> Ui."},
        // A number carried twice means its first project; the second one's text is not looked at.
        {{{1, L"A", L""}, {1, L"B", L"1"}}, L""},
    };
    for (const auto& [projects, refusal] : cases) {
        DependencyGraph graph;
        EXPECT_EQ(CheckDependencies(projects, graph), refusal);
        EXPECT_EQ(graph.order.empty(), !refusal.empty() || projects.empty()) << "a refused graph is empty";
    }
    // A hostile text is quoted short and on one line.
    DependencyGraph graph;
    std::wstring refusal = CheckDependencies({{1, L"A", L"x\r\n" + std::wstring(500, L'y')}}, graph);
    EXPECT_EQ(refusal.find(L'\n'), std::wstring::npos);
    EXPECT_LT(refusal.size(), 200u);
}

class DependencyDocumentTest : public PackageTest {
protected:
    std::wstring Text(int id) {
        std::wstring text;
        return doc_.GetProjectDependencyText(id, text) == 0 ? text : L"<failed>";
    }
};

TEST_F(DependencyDocumentTest, StagedWithTheSettingsSavedNormalisedAndUntouchedTextsKeepTheirBytes) {
    const std::string xml = Package(Project("1", "MathLib") + Project("2", "Calc", "VC6", "", " 1 , 3 ") +
                                    Project("3", "Util") + "<Project><ProjectID>4</ProjectID><Name>Bare</Name>"
                                    "<Compiler>VC6</Compiler></Project>");
    ASSERT_EQ(Open(xml), 0);
    EXPECT_EQ(Text(2), L" 1 , 3 ");
    EXPECT_EQ(Text(4), L"") << "missing is none";
    EXPECT_EQ(Text(9), L"<failed>");
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

    // A new choice is staged: read at once, the settings unchanged, dropped by Discard.
    ASSERT_EQ(doc_.SetProjectDependencies(2, {3}), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(4, {1, 1}), 0);
    EXPECT_EQ(Text(2) + L"|" + Text(4), L"3|1");
    EXPECT_EQ(Settings(doc_, 2), L"0|Calc|1|C:\\Src\\Calc|Win32 Debug|Win32 Release|C:\\Src\\Calc\\Calc.rc|N");
    EXPECT_EQ(Listing(doc_), L"1 MathLib 1;2 Calc 1;3 Util 1;4 Bare 1;end -1");
    EXPECT_EQ(doc_.SetProjectDependencies(9, {1}), -1);
    doc_.DiscardPendingChanges();
    EXPECT_EQ(Text(2) + L"|" + Text(4), L" 1 , 3 |");

    // Staged with other settings, saved as "1,3" style text; a project without the element gets it.
    ASSERT_EQ(doc_.SetProjectDependencies(2, {3}), 0);
    ProjectRecord record;
    ASSERT_EQ(doc_.GetProjectSettings(2, record), 0);
    record.debugConfig = L"Win32 Unicode Debug";
    ASSERT_EQ(doc_.SetProjectSettings(2, record), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(2, {1, 3}), 0);
    ASSERT_EQ(doc_.SetProjectDependencies(4, {2, 1}), 0);
    ASSERT_EQ(doc_.SavePackage(), 0);
    PackageDocument reread;
    ASSERT_EQ(reread.OpenPackage(doc_.Path()), 0);
    std::wstring two, four;
    reread.GetProjectDependencyText(2, two);
    reread.GetProjectDependencyText(4, four);
    EXPECT_EQ(two + L"|" + four, L"1,3|1,2");
    EXPECT_EQ(Settings(reread, 2).find(L"Win32 Unicode Debug") != std::wstring::npos, true);
    EXPECT_EQ(ReadBytes(doc_.Path()).find("TempData"), std::string::npos);
}

TEST_F(DependencyDocumentTest, RemovingAProjectTakesItsNumberOutOfEveryOtherProject) {
    ASSERT_EQ(Open(Package(Project("1", "MathLib") + Project("2", "Calc", "VC6", "", "1, 3") +
                           Project("3", "Util", "VC6", "", "1") + Project("4", "Odd", "VC6", "", "x,1") +
                           Project("5", "Solo", "VC6", "", "3"))),
              0);
    ASSERT_EQ(doc_.SetProjectDependencies(5, {1, 3}), 0);  // staged too
    ASSERT_EQ(doc_.RemoveProject(1), 0);
    EXPECT_EQ(Text(2) + L"|" + Text(3) + L"|" + Text(4) + L"|" + Text(5), L"3||x,1|3");
    // Not staged, like the removal: Cancel doesn't bring the number back.
    doc_.DiscardPendingChanges();
    EXPECT_EQ(Text(5), L"3");

    // A number another project still carries keeps its dependants.
    ASSERT_EQ(Open(Package(Project("1", "A") + Project("1", "B") + Project("2", "C", "VC6", "", "1"))), 0);
    ASSERT_EQ(doc_.RemoveProject(1), 0);
    EXPECT_EQ(Text(2), L"1");
}

}  // namespace
