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

// Control characters are written as escapes, so a package can't fake lines of output.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\t') out += L"\\t";
        else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) out += FormatW(L"\\x%02X", static_cast<unsigned>(c));
        else out += c;
    }
    return out;
}

int Fail(unsigned stringId) {
    Err().WriteLine(LoadResourceString(stringId));
    return 1;
}

}  // namespace

int ShowCommand(const Arguments& args) {
    if (args.size() != 1 || args[0].empty()) {
        PrintUsage();
        return 2;
    }
    PackageDocument document;
    if (document.OpenPackage(args[0]) != 0) return Fail(IDS_ERR_PARSE_PACKAGE);

    std::wstring name, major, minor, build, revision;
    if (document.GetPackageInfo(name, major, minor, build, revision) < 0) return Fail(IDS_ERR_GETPACKAGEINFO);
    Out().WriteLine(L"Package: " + Escaped(name));
    Out().WriteLine(L"Version: " + Escaped(JoinVersionText(major, minor, build, revision)));

    ProjectHandle handle;
    int result = document.StartProjectEnumeration(handle);
    if (result == -1) {
        Out().WriteLine(LoadResourceString(IDS_HINT_NO_PROJECTS));
        return 0;
    }
    if (result != 0) return Fail(IDS_ERR_ENUMERATION);

    while (result == 0) {
        int projectId = 0;
        std::wstring projectName;
        CompilerKind kind = CompilerUnknown;
        if (document.GetProjectSummary(handle, projectId, projectName, kind) != 0) break;
        Out().WriteLine(std::to_wstring(projectId) + L" " + KindText(kind) + L" " + Escaped(projectName));
        ProjectRecord record;
        int settings = document.GetProjectSettings(projectId, record);
        if (settings != 0) {
            Out().WriteLine(L"    (settings unreadable: " + std::to_wstring(settings) + L")");
        } else {
            Out().WriteLine(L"    SourceLocation: " + Escaped(record.sourceLocation));
            Out().WriteLine(L"    DebugConfig: " + Escaped(record.debugConfig));
            Out().WriteLine(L"    ReleaseConfig: " + Escaped(record.releaseConfig));
            Out().WriteLine(L"    ResourceFile: " + Escaped(record.resourceFile));
            Out().WriteLine(std::wstring(L"    Registrable: ") + (record.registrable ? L"Y" : L"N"));
        }
        std::wstring dependencyText;
        std::vector<int> dependencies;
        if (document.GetProjectDependencyText(projectId, dependencyText) == 0) {
            if (!ParseDependencies(dependencyText, dependencies)) {
                Out().WriteLine(L"    Dependencies: '" + Escaped(dependencyText) + L"' (not a list of project numbers)");
            } else if (!dependencies.empty()) {
                Out().WriteLine(L"    Dependencies: " + ListDependencies(dependencies));
            }
        }
        result = document.NextProject(handle);
    }
    return 0;
}

}  // namespace kw::cli
