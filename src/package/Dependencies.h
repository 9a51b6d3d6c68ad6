// Which projects of a package must be built before which: the text of Project/Dependencies, and
// whether a package's dependencies make sense. Pure functions, no file or XML.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Reads a Dependencies text: decimal ProjectIDs separated by commas, blanks allowed around each
// ("1, 4"). An empty text, or one of blanks only, is no dependency. True with the numbers
// ascending and each once; false (ids empty) for anything else: "x", "1,,2", "1,", "-3", a number
// beyond 32 bits.
bool ParseDependencies(std::wstring_view text, std::vector<int>& ids);

// The text writers store: ascending, each number once, no blanks ("1,4"); "" for none.
std::wstring FormatDependencies(std::vector<int> ids);

// The same for people to read: "1, 4".
std::wstring ListDependencies(const std::vector<int>& ids);

// "Project 'Calc' lists its dependencies as 'x', which is not a list of project numbers
// separated by commas." The text is quoted cut short and without control characters.
std::wstring UnreadableDependenciesText(const std::wstring& projectName, std::wstring_view text);

// One project as the dependency rules see it.
struct ProjectDependencies {
    int projectId = 0;
    std::wstring name;
    std::wstring text;  // Dependencies as stored
};

// A package's projects and what each needs, once the texts are known to be sound. A number that
// occurs twice counts once, as its first project: that is the one a lookup finds.
struct DependencyGraph {
    std::vector<int> order;                   // ProjectIDs in package order
    std::map<int, std::wstring> names;        // ProjectID -> name
    std::map<int, std::vector<int>> needs;    // ProjectID -> its dependencies, ascending

    const std::vector<int>& Needs(int projectId) const;
    std::wstring NameOf(int projectId) const;
};

// Empty when every text reads, names only projects the package has, no project needs itself and
// no projects need each other in a circle; graph then holds them. Otherwise the refusal, naming
// the first problem in package order, for instance
//   Project 'Calc' depends on 9, which the package does not have.
//   Projects depend on each other in a circle: Calc -> MathLib -> Calc.
std::wstring CheckDependencies(const std::vector<ProjectDependencies>& projects, DependencyGraph& graph);

}  // namespace kw
