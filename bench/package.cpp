// Package open, listing and lookup times as packages grow. Prints figures and ratios to floors
// measured in the same run: opening against reading the same bytes, and the per-project cost of
// each size against the per-project cost at the smallest size (1.0 = no growth). A lookup by
// ProjectID must stay flat as the package grows.
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
    double baseList = 0, baseLookup = 0, lastLookupPer = 0;
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

        // Every project looked up by number, the whole round repeated until at least 10,000
        // lookups were made, so that small packages are timed as reliably as large ones.
        const int rounds = size < 10000 ? 10000 / size : 1;
        int found = 0;
        ProjectRecord record;
        t0 = Now();
        for (int round = 0; round < rounds; ++round) {
            for (int id = 1; id <= size; ++id) found += doc.GetProjectSettings(id, record) == 0 ? 1 : 0;
        }
        double lookupTime = (Now() - t0) / rounds;
        if (found != rounds * size) {
            std::printf("lookups failed at %d: %d of %d found\n", size, found, rounds * size);
            return 1;
        }

        double listPer = listTime / listed * 1e6;
        double lookupPer = lookupTime / size * 1e6;
        lastLookupPer = lookupPer;
        if (baseList == 0) {
            baseList = listPer;
            baseLookup = lookupPer;
        }
        std::printf("%8d %10.1f %10.1f %12.1f %12.2f %12.1f %12.2f %10.0f ms\n", size, openTime * 1e3,
                    openTime / (readTime > 0 ? readTime : 1e-9), listPer, listPer / baseList, lookupPer,
                    lookupPer / baseLookup, lookupTime * 1e3);
    }
    std::printf("* every project looked up once\n");
    std::printf("lookup growth from 100 to 10000 projects: %.2f (1.0 = flat)\n", lastLookupPer / baseLookup);
    DeleteFileW(path.c_str());
    return 0;
}
