#include "package/Dependencies.h"

#include <algorithm>
#include <climits>
#include <set>

namespace kw {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A stored text as a refusal quotes it: control characters as blanks, and cut short, so a
// hand-made file can't flood or break the message.
std::wstring Quoted(std::wstring_view text) {
    constexpr size_t kMaxShown = 60;
    std::wstring shown(text.substr(0, kMaxShown));
    for (wchar_t& c : shown)
        if (c < L' ') c = L' ';
    if (text.size() > kMaxShown) shown += L"...";
    return shown;
}

}  // namespace

bool ParseDependencies(std::wstring_view text, std::vector<int>& ids) {
    ids.clear();
    if (Trimmed(text).empty()) return true;
    std::set<int> found;
    for (;;) {
        size_t comma = text.find(L',');
        std::wstring_view item = Trimmed(text.substr(0, comma));
        if (item.empty()) return false;
        long long value = 0;
        for (wchar_t c : item) {
            if (c < L'0' || c > L'9') return false;
            value = value * 10 + (c - L'0');
            if (value > INT_MAX) return false;
        }
        found.insert(static_cast<int>(value));
        if (comma == std::wstring_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    ids.assign(found.begin(), found.end());
    return true;
}

std::wstring FormatDependencies(std::vector<int> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::wstring text;
    for (int id : ids) {
        if (!text.empty()) text += L',';
        text += std::to_wstring(id);
    }
    return text;
}

std::wstring ListDependencies(const std::vector<int>& ids) {
    std::wstring text;
    for (int id : ids) {
        if (!text.empty()) text += L", ";
        text += std::to_wstring(id);
    }
    return text;
}

std::wstring UnreadableDependenciesText(const std::wstring& projectName, std::wstring_view text) {
    return L"Project '" + projectName + L"' lists its dependencies as '" + Quoted(text) +
           L"', which is not a list of project numbers separated by commas.";
}

const std::vector<int>& DependencyGraph::Needs(int projectId) const {
    static const std::vector<int> kNone;
    auto found = needs.find(projectId);
    return found == needs.end() ? kNone : found->second;
}

std::wstring DependencyGraph::NameOf(int projectId) const {
    auto found = names.find(projectId);
    return found == names.end() ? std::to_wstring(projectId) : found->second;
}

std::wstring CheckDependencies(const std::vector<ProjectDependencies>& projects, DependencyGraph& graph) {
    graph = DependencyGraph();
    auto refuse = [&graph](std::wstring text) {
        graph = DependencyGraph();
        return text;
    };
    for (const ProjectDependencies& project : projects) {
        if (graph.names.count(project.projectId)) continue;
        graph.order.push_back(project.projectId);
        graph.names[project.projectId] = project.name;
    }
    for (const ProjectDependencies& project : projects) {
        if (graph.needs.count(project.projectId)) continue;
        const std::wstring quoted = L"Project '" + project.name + L"'";
        std::vector<int> ids;
        if (!ParseDependencies(project.text, ids)) {
            return refuse(UnreadableDependenciesText(project.name, project.text));
        }
        for (int id : ids) {
            if (id == project.projectId) return refuse(quoted + L" depends on itself.");
            if (!graph.names.count(id)) {
                return refuse(quoted + L" depends on " + std::to_wstring(id) + L", which the package does not have.");
            }
        }
        graph.needs[project.projectId] = std::move(ids);
    }

    // Depth first from every project in package order; meeting a project that is still on the
    // path closes a circle, reported from where it starts.
    enum State { kNew, kOnPath, kDone };
    std::map<int, State> state;
    for (int start : graph.order) {
        if (state[start] != kNew) continue;
        std::vector<std::pair<int, size_t>> path{{start, 0}};  // project, next dependency to visit
        state[start] = kOnPath;
        while (!path.empty()) {
            auto& [project, next] = path.back();
            const std::vector<int>& needs = graph.Needs(project);
            if (next == needs.size()) {
                state[project] = kDone;
                path.pop_back();
                continue;
            }
            int dependency = needs[next++];
            if (state[dependency] == kOnPath) {
                std::wstring circle;
                size_t from = 0;
                while (path[from].first != dependency) ++from;
                for (size_t i = from; i < path.size(); ++i) circle += graph.NameOf(path[i].first) + L" -> ";
                circle += graph.NameOf(dependency);
                return refuse(L"Projects depend on each other in a circle: " + circle + L".");
            }
            if (state[dependency] == kNew) {
                state[dependency] = kOnPath;
                path.push_back({dependency, 0});
            }
        }
    }
    return {};
}

}  // namespace kw
