// The order of a run's targets by their dependencies, the targets --with-dependencies adds, the
// dependencies a run leaves out.
#include <gtest/gtest.h>

#include "engine/TargetOrder.h"

#include <sstream>

namespace kw {
namespace {

// Projects 1..n named P1..Pn; needs: "2:1,3" per project, separated by blanks.
DependencyGraph Graph(int count, const std::wstring& needs) {
    std::vector<ProjectDependencies> projects;
    for (int id = 1; id <= count; ++id) projects.push_back({id, L"P" + std::to_wstring(id), L""});
    std::wistringstream in(needs);
    std::wstring item;
    while (in >> item) {
        size_t colon = item.find(L':');
        projects[std::stoi(item.substr(0, colon)) - 1].text = item.substr(colon + 1);
    }
    DependencyGraph graph;
    EXPECT_EQ(CheckDependencies(projects, graph), L"") << needs;
    return graph;
}

TEST(TargetOrder, ATargetFollowsWhatItNeedsTiesKeepTheGivenOrder) {
    struct Case {
        int count;
        const wchar_t* needs;
        std::vector<int> targets, ordered;
    } cases[] = {
        {5, L"", {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},  // none declared: today's order exactly
        {4, L"1:3", {1, 2, 3, 4}, {2, 3, 1, 4}},
        {4, L"1:4 2:4", {1, 2, 3, 4}, {3, 4, 1, 2}},
        {5, L"1:2 2:3 3:4 4:5", {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}},
        {6, L"1:2,3 3:5", {1, 2, 3, 4, 5, 6}, {2, 4, 5, 3, 1, 6}},
        // Through a project that is not a target: 1 needs 2 (left out), which needs 3.
        {3, L"1:2 2:3", {1, 3}, {3, 1}},
        // A repeated number runs once.
        {3, L"1:3", {1, 3, 1}, {3, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(OrderByDependencies(c.targets, Graph(c.count, c.needs)), c.ordered) << c.needs;
}

TEST(TargetOrder, WithDependenciesAddsEveryProjectNeededAndMissingOnesAreNamedOncePerPair) {
    DependencyGraph graph = Graph(6, L"1:2 2:3,4 5:6");
    EXPECT_EQ(WithDependencies({1}, graph), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(WithDependencies({5, 3}, graph), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(WithDependencies({}, graph), std::vector<int>{});

    std::vector<std::wstring> texts;
    for (const MissingDependency& missing : MissingDependencies({2, 1, 2, 5}, graph))
        texts.push_back(MissingDependencyText(missing, graph));
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"P2 needs P3, which is not a target; it is not built.",
                                                L"P2 needs P4, which is not a target; it is not built.",
                                                L"P5 needs P6, which is not a target; it is not built."}));
    EXPECT_TRUE(MissingDependencies({1, 2, 3, 4}, graph).empty());
}

}  // namespace
}  // namespace kw
