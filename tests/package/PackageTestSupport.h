// Package texts and one-line readings of a PackageDocument, shared by the package tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"
#include "package/PackageDocument.h"

namespace kwtest {

// A project as this program writes it, with the given dependency text; extra goes at its end.
inline std::string Project(const std::string& id, const std::string& name, const std::string& compiler = "VC6",
                           const std::string& extra = "", const std::string& dependencies = "") {
    return "<Project><ProjectID>" + id + "</ProjectID><Name>" + name + "</Name><SourceLocation>C:\\Src\\" + name +
           "</SourceLocation><Compiler>" + compiler +
           "</Compiler><DebugConfig>Win32 Debug</DebugConfig><ReleaseConfig>Win32 Release</ReleaseConfig>"
           "<ResourceFile>C:\\Src\\" + name + "\\" + name + ".rc</ResourceFile><Registrable>N</Registrable>"
           "<Dependencies>" + dependencies + "</Dependencies>" + extra + "</Project>";
}

inline std::string Package(const std::string& projects,
                           const std::string& head = "<Name>Tools</Name><CurrentVersion>2.1.0.14</CurrentVersion>") {
    return "<Package>" + head + "<Projects>" + projects + "</Projects></Package>";
}

// "result|name|major.minor.build.revision"
inline std::wstring Info(kw::PackageDocument& doc) {
    std::wstring name, a, b, c, d;
    int result = doc.GetPackageInfo(name, a, b, c, d);
    return std::to_wstring(result) + L"|" + name + L"|" + a + L"." + b + L"." + c + L"." + d;
}

// "id name kind;" per project as the main window lists them, then the result that ended the listing.
inline std::wstring Listing(kw::PackageDocument& doc) {
    std::wstring rows, name;
    kw::ProjectHandle handle;
    int id = 0;
    kw::CompilerKind kind;
    int result = doc.StartProjectEnumeration(handle);
    while (result == 0 && (result = doc.GetProjectSummary(handle, id, name, kind)) == 0) {
        rows += std::to_wstring(id) + L" " + name + L" " + std::to_wstring(kind) + L";";
        result = doc.NextProject(handle);
    }
    return rows + L"end " + std::to_wstring(result);
}

// "result|name|kind|source|debug|release|resource|registrable"
inline std::wstring Settings(kw::PackageDocument& doc, int id) {
    kw::ProjectRecord r;
    int result = doc.GetProjectSettings(id, r);
    return std::to_wstring(result) + L"|" + r.name + L"|" + std::to_wstring(r.compilerKind) + L"|" + r.sourceLocation +
           L"|" + r.debugConfig + L"|" + r.releaseConfig + L"|" + r.resourceFile + L"|" + (r.registrable ? L"Y" : L"N");
}

class PackageTest : public testing::Test {
protected:
    std::wstring Write(const std::string& xml, const wchar_t* name = L"p.kwp") {
        WriteBytes(dir_.File(name), xml);
        return dir_.File(name);
    }
    int Open(const std::string& xml) { return doc_.OpenPackage(Write(xml)); }

    ScratchDir dir_{L"pkg"};
    kw::PackageDocument doc_;
};

}  // namespace kwtest
