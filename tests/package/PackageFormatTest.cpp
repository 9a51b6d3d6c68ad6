// The text rules of package values and dependencies, tested directly (the ProjectID is read by the
// number rules; how the document stages and saves dependencies is in the edit tests).
#include <gtest/gtest.h>

#include "package/Dependencies.h"
#include "package/PackageFormat.h"

using namespace kw;

TEST(PackageFormat, VersionTextSplitsIntoFourPartsAndJoinsAsItIs) {
    using Parts = std::array<std::wstring, 4>;
    const std::pair<const wchar_t*, Parts> cases[] = {
        {L"2.1.0.14", {L"2", L"1", L"0", L"14"}}, {L"1.2", {L"1", L"2", L"0", L"0"}},
        {L"1..3", {L"1", L"0", L"3", L"0"}},      {L"1.2.3.4.5", {L"1", L"2", L"3", L"4"}},
        {L"1.2b.0.0", {L"1", L"2b", L"0", L"0"}}, {L"", {L"", L"", L"", L""}},
    };
    for (const auto& [text, parts] : cases) EXPECT_EQ(SplitVersionText(text), parts) << text;
    EXPECT_EQ(JoinVersionText(L"1", L"", L"0", L"0"), L"1..0.0");
}

// Compiler texts, matched as they stand (case and blanks counting), are rows of the document's listing.
TEST(PackageFormat, RegistrableTexts) {
    for (const wchar_t* yes : {L"Y", L"y", L"yes", L"1", L"0", L"No", L" N"}) EXPECT_TRUE(RegistrableFromText(yes)) << yes;
    for (const wchar_t* no : {L"N", L"n", L""}) EXPECT_FALSE(RegistrableFromText(no)) << no;
}

TEST(PackageFormat, ProjectFilePathsTakenApart) {
    // "result|folder|base name|kind|default resource file"
    const std::pair<std::wstring, const wchar_t*> cases[] = {
        {L"C:\\Src\\Util\\Util.dsp", L"0|C:\\Src\\Util|Util|1|C:\\Src\\Util\\Util.rc"},
        {L"D:/My Projects/Rep.v2/Report.vbp", L"0|D:/My Projects/Rep.v2|Report|2|D:/My Projects/Rep.v2\\Report.vbp"},
        {L"C:\\W\\All.dsw", L"0|C:\\W|All|1|C:\\W\\All.rc"},
        {L"\\Root.dsp", L"0||Root|1|\\Root.rc"},
        {L"", L"-1"}, {L"C:\\Src\\Util\\Util.DSP", L"-2"}, {L"C:\\Src\\Util\\Util", L"-2"}, {L"Util.dsp", L"-2"},
        {L"C:\\Src\\Util\\Util.txt", L"-2"}, {L"C:\\" + std::wstring(256, L'a') + L".dsp", L"-2"},
        {std::wstring(256, L'f') + L"\\a.dsp", L"-2"},
    };
    for (const auto& [path, expected] : cases) {
        ProjectFileParts parts;
        std::wstring got = std::to_wstring(SplitProjectFilePath(path, parts));
        if (got == L"0")
            got += L"|" + parts.folder + L"|" + parts.baseName + L"|" + std::to_wstring(parts.kind) + L"|" +
                   DefaultResourceFile(parts);
        EXPECT_EQ(got, expected) << path.size();
    }
}

TEST(Dependencies, TextReadsAsAscendingNumbersOrIsRefusedWhole) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"1,4", L"1,4"},  {L" 1 , 4 ", L"1,4"}, {L"", L""},         {L"  \t ", L""},
        {L"4,1,4", L"1,4"}, {L"007", L"7"},       {L"3", L"3"},       {L"2147483647", L"2147483647"},
        {L"x", nullptr},   {L"1,,2", nullptr},   {L"1,", nullptr},   {L",1", nullptr},
        {L"1 2", nullptr}, {L"-3", nullptr},     {L"+3", nullptr},   {L"2147483648", nullptr}, {L"1;4", nullptr},
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
    const std::wstring notAList = L"', which is not a list of project numbers separated by commas.";
    const std::pair<Projects, std::wstring> cases[] = {
        {{{1, L"MathLib", L""}, {2, L"Calc", L"1"}, {3, L"Tool", L" 1 , 2 "}}, L""},
        {{}, L""},
        {{{1, L"MathLib", L""}, {2, L"Calc", L"1,9"}}, L"Project 'Calc' depends on 9, which the package does not have."},
        {{{1, L"MathLib", L""}, {2, L"Calc", L"2"}}, L"Project 'Calc' depends on itself."},
        {{{1, L"Lib", L"1,,2"}, {2, L"Calc", L"9"}}, L"Project 'Lib' lists its dependencies as '1,,2" + notAList},
        // A hostile text is quoted short and on one line.
        {{{1, L"A", L"x\r\n" + std::wstring(500, L'y')}},
         L"Project 'A' lists its dependencies as 'x  " + std::wstring(57, L'y') + L"..." + notAList},
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
}
