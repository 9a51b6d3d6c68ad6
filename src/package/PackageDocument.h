// One package held in memory as an XML tree, with the file it came from. The tree and its parser
// stay inside; callers see plain values.
//
// Results: 0 success, negative failure, as each operation documents. No COM error and no
// exception leaves this class. Not thread-safe: the user interface's thread alone uses it; a run
// works on copies taken at its set-up.
#pragma once

#include "package/Dependencies.h"
#include "package/PackageFormat.h"

#include <memory>
#include <string>
#include <vector>

namespace kw {

struct ProjectRecord {
    std::wstring name;
    CompilerKind compilerKind = CompilerUnknown;
    std::wstring sourceLocation;
    std::wstring debugConfig;
    std::wstring releaseConfig;
    std::wstring resourceFile;
    bool registrable = false;
};

// One row of a project listing, as the package list shows it.
struct ProjectRow {
    int projectId = 0;
    std::wstring name;
    CompilerKind kind = CompilerUnknown;
    std::wstring idText;  // the ProjectID as the file writes it
};

// A counted reference to one child of Projects, handed out by a listing.
class ProjectHandle {
public:
    bool Empty() const { return node_ == nullptr; }
    void Reset() { node_.reset(); }

private:
    friend class PackageDocument;
    struct Node;
    std::shared_ptr<Node> node_;
};

// Why the last OpenPackage gave -1, for a message that names the cause.
enum class OpenProblem { None, Unreadable, Empty, DocumentType, TooDeep, NotWellFormed, NoProjects, Failed };
struct OpenFailure {
    OpenProblem problem = OpenProblem::None;
    unsigned long error = 0;  // Unreadable: the Win32 error
    long line = 0;            // NotWellFormed: where the parser stopped, from 1; 0 when unknown
    long column = 0;
    std::wstring reason;      // NotWellFormed: the parser's words, when it has any
};

class PackageDocument {
public:
    PackageDocument();
    ~PackageDocument();
    PackageDocument(const PackageDocument&) = delete;
    PackageDocument& operator=(const PackageDocument&) = delete;
    // Trades contents with other: a package read into a second document replaces this one in one
    // step, without reading its file again.
    void Swap(PackageDocument& other) noexcept { impl_.swap(other.impl_); }

    // ---- opening and reading ----
    // 0 opened; -1 not opened (missing, unreadable, malformed, hostile, or no Projects).
    int OpenPackage(const std::wstring& path);
    void ClosePackage();
    bool IsLoaded() const;
    const OpenFailure& LastOpenFailure() const;

    // 0 read; 1 nothing loaded; -2 no CurrentVersion; -1 failure.
    int GetPackageInfo(std::wstring& name, std::wstring& major, std::wstring& minor,
                       std::wstring& build, std::wstring& revision);
    // 0 a project in the handle; -1 no (more) projects, handle empty; -2 failure.
    int StartProjectEnumeration(ProjectHandle& handle);
    int NextProject(ProjectHandle& handle);
    // 0 read; -2 failure (empty handle, Name/Compiler/ProjectID missing or not text).
    int GetProjectSummary(const ProjectHandle& handle, int& projectId, std::wstring& name,
                          CompilerKind& compilerKind);
    // The listed project's ProjectID as the file writes it. 0 read; -2 failure.
    int GetProjectIdText(const ProjectHandle& handle, std::wstring& text);
    // The whole listing: a row per project until one can't be summarised (complete is then
    // false). 0 listed; -1 no projects; -2 the listing failed.
    int ListProjectRows(std::vector<ProjectRow>& rows, bool& complete);
    // 0 read; -1 project or element missing; -2 the summary failed.
    int GetProjectSettings(int projectId, ProjectRecord& record);
    // 0 read; -1 project or ResourceFile missing, or failure; -2 the summary failed.
    int GetProjectResourceFile(int projectId, CompilerKind& compilerKind, std::wstring& resourceFile);

    // The project's Dependencies as stored (a staged choice first); "" when it has none.
    // 0 read; -1 project missing or the text can't be read.
    int GetProjectDependencyText(int projectId, std::wstring& text);
    // Every project a listing gives, with its Dependencies text. 0 read, also when a project that
    // can't be summarised ended the listing; -2 the listing failed.
    int GetDependencies(std::vector<ProjectDependencies>& projects);

    // The file the package is saved to. Kept whole, whatever its length.
    const std::wstring& Path() const;
    void SetPath(const std::wstring& path);

    // ---- editing and saving ----
    // An empty package in memory named packageName (kNewPackageName when empty). 0 made; -1 failure.
    int CreatePackage(const std::wstring& packageName = std::wstring());
    // 0 written; -2 no CurrentVersion; -1 failure.
    int SetPackageInfo(const std::wstring& name, const std::wstring& major, const std::wstring& minor,
                       const std::wstring& build, const std::wstring& revision);
    // The new project's number minus 1; -1 empty path; -2 failure.
    int AddProject(const std::wstring& projectFilePath);
    // After AddProject failed in the XML library: the five-line report (Error, Code, Code meaning,
    // Source, Error Description), for the caller to print. Empty otherwise.
    const std::string& AddProjectDiagnostic() const;
    // Also takes the number out of every other project's dependencies, unless another project
    // still carries it. 0 removed; -1 not found or failure.
    int RemoveProject(int projectId);
    // 0 staged; -1 not found or failure.
    int SetProjectSettings(int projectId, const ProjectRecord& record);
    // Stages the project's dependencies, written "1,4". A choice equal to what the stored text
    // reads as changes nothing, so the text stays as it was written. 0 staged; -1 not found or
    // failure.
    int SetProjectDependencies(int projectId, const std::vector<int>& dependencies);
    void DiscardPendingChanges();
    // 0 written; -1 no path; -2 commit or write failed (the file on disk is then unchanged).
    int SavePackage();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kw
