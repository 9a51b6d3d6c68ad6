// Project dependencies: their text, and the refusals of a package whose dependencies make no
// sense (how the document stages and saves them is in the edit tests).
#include <gtest/gtest.h>

#include "package/Dependencies.h"

using namespace kw;

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

}  // namespace
