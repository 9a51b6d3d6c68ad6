// The order of a run's targets by their dependencies, which targets a run adds for them, and
// which dependencies a run leaves out. Pure functions over a package's checked dependencies.
#pragma once

#include "package/Dependencies.h"

#include <set>
#include <string>
#include <vector>

namespace kw {

// The targets as every step runs them: each after the targets it depends on, directly or through
// projects that are not targets; otherwise in the order given. Without dependencies this is the
// given order itself. The graph is free of circles (CheckDependencies).
std::vector<int> OrderByDependencies(const std::vector<int>& targets, const DependencyGraph& graph);

// The targets that target must wait for: its dependencies, looking through those that are not
// targets to what they need in turn; ascending.
std::vector<int> TargetsWaitedFor(int target, const std::set<int>& targets, const DependencyGraph& graph);

// The targets and every project they depend on, however indirectly: ascending, each once.
std::vector<int> WithDependencies(const std::vector<int>& targets, const DependencyGraph& graph);

// A target's dependency that is not itself a target, and so is not built by the run.
struct MissingDependency {
    int target = 0;
    int dependency = 0;
};

// Every such pair once: targets in the order given, each one's dependencies ascending.
std::vector<MissingDependency> MissingDependencies(const std::vector<int>& targets, const DependencyGraph& graph);

// "Calc needs MathLib, which is not a target; it is not built."
std::wstring MissingDependencyText(const MissingDependency& missing, const DependencyGraph& graph);

}  // namespace kw
