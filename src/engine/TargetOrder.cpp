#include "engine/TargetOrder.h"

#include <functional>
#include <map>
#include <queue>
#include <set>

namespace kw {

namespace {

template <class IsTarget>
std::vector<int> WaitedFor(int target, const IsTarget& isTarget, const DependencyGraph& graph) {
    // A program that needs a skipped library still follows what that library needs.
    std::set<int> seen, waited;
    std::vector<int> open(graph.Needs(target).begin(), graph.Needs(target).end());
    while (!open.empty()) {
        int next = open.back();
        open.pop_back();
        if (next == target || !seen.insert(next).second) continue;
        if (isTarget(next)) {
            waited.insert(next);
        } else {
            const std::vector<int>& further = graph.Needs(next);
            open.insert(open.end(), further.begin(), further.end());
        }
    }
    return std::vector<int>(waited.begin(), waited.end());
}

}  // namespace

std::vector<int> TargetsWaitedFor(int target, const std::set<int>& targets, const DependencyGraph& graph) {
    return WaitedFor(target, [&targets](int id) { return targets.count(id) != 0; }, graph);
}

std::vector<int> OrderByDependencies(const std::vector<int>& targets, const DependencyGraph& graph) {
    std::map<int, size_t> position;
    for (size_t i = 0; i < targets.size(); ++i) position.emplace(targets[i], i);

    std::vector<size_t> waitingFor(targets.size(), 0);
    std::vector<std::vector<size_t>> followers(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        if (position[targets[i]] != i) continue;  // a repeated number runs once, at its first place
        auto isTarget = [&position](int id) { return position.count(id) != 0; };
        for (int dependency : WaitedFor(targets[i], isTarget, graph)) {
            followers[position[dependency]].push_back(i);
            ++waitingFor[i];
        }
    }

    // Always the earliest ready target in the given order: ties keep that order.
    std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> ready;
    for (size_t i = 0; i < targets.size(); ++i)
        if (position[targets[i]] == i && waitingFor[i] == 0) ready.push(i);
    std::vector<int> ordered;
    ordered.reserve(targets.size());
    while (!ready.empty()) {
        size_t i = ready.top();
        ready.pop();
        ordered.push_back(targets[i]);
        for (size_t follower : followers[i])
            if (--waitingFor[follower] == 0) ready.push(follower);
    }
    // A circle would leave targets behind; none is dropped silently, they keep their places last.
    if (ordered.size() < position.size()) {
        std::set<int> placed(ordered.begin(), ordered.end());
        for (size_t i = 0; i < targets.size(); ++i)
            if (position[targets[i]] == i && !placed.count(targets[i])) ordered.push_back(targets[i]);
    }
    return ordered;
}

std::vector<int> WithDependencies(const std::vector<int>& targets, const DependencyGraph& graph) {
    std::set<int> all;
    std::vector<int> open(targets.begin(), targets.end());
    while (!open.empty()) {
        int next = open.back();
        open.pop_back();
        if (!all.insert(next).second) continue;
        const std::vector<int>& needs = graph.Needs(next);
        open.insert(open.end(), needs.begin(), needs.end());
    }
    return std::vector<int>(all.begin(), all.end());
}

std::vector<MissingDependency> MissingDependencies(const std::vector<int>& targets, const DependencyGraph& graph) {
    std::set<int> chosen(targets.begin(), targets.end());
    std::set<int> listed;
    std::vector<MissingDependency> missing;
    for (int target : targets) {
        if (!listed.insert(target).second) continue;
        for (int dependency : graph.Needs(target))
            if (!chosen.count(dependency)) missing.push_back({target, dependency});
    }
    return missing;
}

std::wstring MissingDependencyText(const MissingDependency& missing, const DependencyGraph& graph) {
    return graph.NameOf(missing.target) + L" needs " + graph.NameOf(missing.dependency) +
           L", which is not a target; it is not built.";
}

}  // namespace kw
