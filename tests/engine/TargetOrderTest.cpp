// The order of a run's targets by their dependencies, the targets --with-dependencies adds, the
// dependencies a run leaves out; and the stand-in builders' own account of when they ran.
#include <gtest/gtest.h>

#include "common/RunSupport.h"
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

// duration= holds a builder that long, asleep; times= lets a test see when it ran.
TEST(StandIn, DurationIsSleptAndTheTimesFileSaysWhenItRan) {
    kwtest::ScratchDir dir(L"standin times");
    const std::wstring times = dir.File(L"times.txt");
    kwtest::TestProject project{L"1", L"Calc", L"VC6", dir.File(L"Calc")};
    project.standIn = "duration=400\r\ntimes=" + kwtest::Narrow(times) + "\r\n";
    kwtest::WriteProjects({project});
    const std::wstring command = L"\"" + kwtest::StandInVisualStudioFolder() + L"\\MSDEV98\\Bin\\MSDEV.exe\" \"" +
                                 project.folder + L"\\Calc.dsp\" /MAKE \"Calc - Win32 Debug\" /OUT \"" +
                                 dir.File(L"Calc.log") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    std::wstring line = command;
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    ASSERT_EQ(WaitForSingleObject(child.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(child.hProcess, &exitCode);
    FILETIME created, ended, kernel, user;
    GetProcessTimes(child.hProcess, &created, &ended, &kernel, &user);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(exitCode, 0u);
    auto hundredNs = [](FILETIME t) { return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    EXPECT_LT(hundredNs(kernel) + hundredNs(user), 2000000) << "it slept, it did not spin";

    std::istringstream in(kwtest::ReadBytes(times));
    std::string what[2], name[2];
    long long at[2] = {};
    in >> what[0] >> name[0] >> at[0] >> what[1] >> name[1] >> at[1];
    EXPECT_EQ(what[0] + " " + name[0] + " " + what[1] + " " + name[1], "start Calc end Calc");
    EXPECT_GE(at[1] - at[0], 390000) << "microseconds";
    EXPECT_LT(at[1] - at[0], 5000000);
}

}  // namespace
}  // namespace kw
