// kilnworks-cli show PACKAGE: the package as the main window reads it.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "package/PackageDocument.h"
#include "resource.h"
#include "win/Text.h"

namespace kw::cli {

namespace {

const wchar_t* KindText(CompilerKind kind) {
    switch (kind) {
        case CompilerVC6: return L"VC6";
        case CompilerVB6: return L"VB6";
        default: return L"?";
    }
}

int Fail(unsigned stringId) {
    Err().WriteLine(LoadResourceString(stringId));
    return 1;
}

}  // namespace

int ShowCommand(const Arguments& args) {
    struct NoOptions {};
    NoOptions none;
    std::wstring package, problem;
    switch (ParsePackageCommand(L"show", args, std::vector<OptionSpec<NoOptions>>{}, none, package, problem)) {
        case ParseResult::HelpAsked: PrintUsage(true); return 0;
        case ParseResult::Refused: Err().WriteLine(problem); return 2;
        case ParseResult::Parsed: break;
    }
    PackageDocument document;
    if (!OpenPackageOrSayWhy(document, package)) return 1;

    std::wstring name, major, minor, build, revision;
    if (document.GetPackageInfo(name, major, minor, build, revision) < 0) return Fail(IDS_ERR_GETPACKAGEINFO);
    Out().WriteLine(L"Package: " + EscapeForDisplay(name));
    Out().WriteLine(L"Version: " + EscapeForDisplay(JoinVersionText(major, minor, build, revision)));

    std::vector<ProjectRow> rows;
    bool complete = true;
    int result = document.ListProjectRows(rows, complete);
    if (result == -1) {
        Out().WriteLine(LoadResourceString(IDS_HINT_NO_PROJECTS));
        return 0;
    }
    if (result != 0) return Fail(IDS_ERR_ENUMERATION);

    for (const ProjectRow& row : rows) {
        const int projectId = row.projectId;
        // The ProjectID as written: its number may not be what the text says (99999999999).
        Out().WriteLine(EscapeForDisplay(row.idText) + L" " + KindText(row.kind) + L" " + EscapeForDisplay(row.name));
        ProjectRecord record;
        int settings = document.GetProjectSettings(projectId, record);
        if (settings != 0) {
            Out().WriteLine(L"    (settings unreadable: " + std::to_wstring(settings) + L")");
        } else {
            Out().WriteLine(L"    SourceLocation: " + EscapeForDisplay(record.sourceLocation));
            Out().WriteLine(L"    DebugConfig: " + EscapeForDisplay(record.debugConfig));
            Out().WriteLine(L"    ReleaseConfig: " + EscapeForDisplay(record.releaseConfig));
            Out().WriteLine(L"    ResourceFile: " + EscapeForDisplay(record.resourceFile));
            Out().WriteLine(std::wstring(L"    Registrable: ") + (record.registrable ? L"Y" : L"N"));
        }
        std::wstring dependencyText;
        if (document.GetProjectDependencyText(projectId, dependencyText) == 0) {
            std::vector<int> dependencies;
            if (!ParseDependencies(dependencyText, dependencies)) {
                Out().WriteLine(L"    Dependencies: '" + EscapeForDisplay(dependencyText) + L"' (not a list of project numbers)");
            } else if (!dependencies.empty()) {
                Out().WriteLine(L"    Dependencies: " + ListDependencies(dependencies));
            }
        }
    }
    return 0;
}

}  // namespace kw::cli
