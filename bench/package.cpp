// Package open, listing and lookup times as packages grow. Prints figures and ratios to floors
// measured in the same run: opening against reading the same bytes, and the per-project cost of
// each size against the per-project cost at the smallest size (1.0 = no growth).
#include <windows.h>

#include <cstdio>
#include <string>

#include "package/PackageDocument.h"
#include "win/AtomicFile.h"
#include "win/Com.h"

#include "BenchClock.h"

using namespace kw;

namespace {

using kwbench::Now;

std::string MakePackage(int projects) {
    std::string xml = "<Package><Name>Bench</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects>";
    for (int i = 1; i <= projects; ++i) {
        std::string n = std::to_string(i);
        xml += "<Project><ProjectID>" + n + "</ProjectID><Name>P" + n + "</Name><SourceLocation>C:\\Src\\P" + n +
               "</SourceLocation><Compiler>VC6</Compiler><DebugConfig>Win32 Debug</DebugConfig>"
               "<ReleaseConfig>Win32 Release</ReleaseConfig><ResourceFile>C:\\Src\\P" + n + "\\P" + n +
               ".rc</ResourceFile><Registrable>N</Registrable><Dependencies></Dependencies></Project>";
    }
    return xml + "</Projects></Package>";
}

}  // namespace

int wmain() {
    ComApartment com;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"kw-bench-package.kwp";

    std::printf("%8s %10s %10s %12s %12s %12s %12s %12s\n", "projects", "open ms", "open/read", "list us/p",
                "list growth", "lookup us/p", "lookup grow", "all lookups*");
    double baseList = 0, baseLookup = 0;
    for (int size : {100, 1000, 10000}) {
        std::string xml = MakePackage(size);
        WriteWholeFile(path, xml);

        double t0 = Now();
        std::string bytes;
        ReadWholeFile(path, bytes);
        double readTime = Now() - t0;

        PackageDocument doc;
        t0 = Now();
        if (doc.OpenPackage(path) != 0) {
            std::printf("open failed at %d\n", size);
            return 1;
        }
        double openTime = Now() - t0;

        t0 = Now();
        int listed = 0;
        ProjectHandle handle;
        for (int r = doc.StartProjectEnumeration(handle); r == 0; r = doc.NextProject(handle)) {
            int id;
            std::wstring name;
            CompilerKind kind;
            if (doc.GetProjectSummary(handle, id, name, kind) != 0) break;
            ++listed;
        }
        double listTime = Now() - t0;

        // Lookups over a sample spread evenly across the numbers; a lookup walks the tree, so
        // the total for every project is the per-lookup time times the size.
        const int sample = size < 500 ? size : 500;
        t0 = Now();
        ProjectRecord record;
        for (int k = 0; k < sample; ++k) doc.GetProjectSettings(1 + static_cast<int>(static_cast<long long>(k) * size / sample), record);
        double lookupTime = (Now() - t0) / sample * size;

        double listPer = listTime / listed * 1e6;
        double lookupPer = lookupTime / size * 1e6;
        if (baseList == 0) {
            baseList = listPer;
            baseLookup = lookupPer;
        }
        std::printf("%8d %10.1f %10.1f %12.1f %12.2f %12.1f %12.2f %10.0f ms\n", size, openTime * 1e3,
                    openTime / (readTime > 0 ? readTime : 1e-9), listPer, listPer / baseList, lookupPer,
                    lookupPer / baseLookup, lookupTime * 1e3);
    }
    std::printf("* every project looked up once, from a sample of up to 500 lookups\n");
    DeleteFileW(path.c_str());
    return 0;
}
