// Stamping a large resource script against copying the same file. Prints the times of each and
// their ratio (goal: stamping under 2x the copy). Stamping flushes its ".new" file before it
// replaces the script, which a plain copy doesn't, so the ratio to a copy that is flushed too is
// printed beside it: that is the floor of any rewrite that can't lose the file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "version/RunValues.h"
#include "package/PackageFormat.h"
#include "version/StampFile.h"
#include "win/AtomicFile.h"

#include "BenchClock.h"

using namespace kw;

namespace {

using kwbench::Now;

// About targetBytes of resource script: the version block at the top and again half way, the rest
// dialogs, menus and string tables, some of whose lines hold a capital V like the markers do.
std::string MakeScript(size_t targetBytes) {
    const std::string versionBlock =
        "VS_VERSION_INFO VERSIONINFO\r\n FILEVERSION 1,0,3,4\r\n PRODUCTVERSION 1,0,3,4\r\n"
        " FILEFLAGSMASK 0x3fL\r\nBEGIN\r\n    BLOCK \"StringFileInfo\"\r\n    BEGIN\r\n"
        "        BLOCK \"040904b0\"\r\n        BEGIN\r\n"
        "            VALUE \"CompanyName\", \"Kilnworks\\0\"\r\n"
        "            VALUE \"FileVersion\", \"1.0.3.4\\0\"\r\n"
        "            VALUE \"ProductVersion\", \"1.0.3.4\\0\"\r\n"
        "        END\r\n    END\r\nEND\r\n\r\n";
    const char* body[] = {
        "IDD_MAIN DIALOGEX 0, 0, 320, 200\r\n",
        "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\r\n",
        "FONT 8, \"MS Sans Serif\", 0, 0, 0x1\r\n",
        "BEGIN\r\n",
        "    DEFPUSHBUTTON   \"OK\",IDOK,263,7,50,14\r\n",
        "    CONTROL         \"Verify after build\",IDC_VERIFY,\"Button\",BS_AUTOCHECKBOX | WS_TABSTOP,7,7,90,10\r\n",
        "    LTEXT           \"Value:\",IDC_STATIC,7,24,40,8\r\n",
        "    EDITTEXT        IDC_VALUE,50,22,120,14,ES_AUTOHSCROLL\r\n",
        "    IDS_HINT_TEXT           \"Moves the selected projects to the targets.\"\r\n",
        "END\r\n",
        "\r\n",
    };
    std::string script;
    script.reserve(targetBytes + 4096);
    script += versionBlock;
    bool middleDone = false;
    while (script.size() < targetBytes) {
        for (const char* line : body) script += line;
        if (!middleDone && script.size() >= targetBytes / 2) {
            script += versionBlock;
            middleDone = true;
        }
    }
    return script;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"kw-bench-stamping";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring script = folder + L"\\Big.rc";
    const std::wstring copy = folder + L"\\Copy.rc";
    const std::wstring flushed = folder + L"\\Flushed.rc";

    const std::string text = MakeScript(10u * 1024 * 1024);
    if (WriteWholeFile(script, text) != 0) {
        std::printf("cannot write the script\n");
        return 1;
    }

    constexpr int kRounds = 9;
    std::vector<double> copyTimes, flushedTimes, stampTimes;
    size_t logLines = 0;
    for (int round = 0; round < kRounds; ++round) {
        double t0 = Now();
        if (!CopyFileW(script.c_str(), copy.c_str(), FALSE)) {
            std::printf("copy failed\n");
            return 1;
        }
        copyTimes.push_back(Now() - t0);

        t0 = Now();
        CopyFileW(script.c_str(), flushed.c_str(), FALSE);
        HANDLE file = CreateFileW(flushed.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        FlushFileBuffers(file);
        CloseHandle(file);
        flushedTimes.push_back(Now() - t0);

        VersionQuad version;
        t0 = Now();
        StampResult result = StampFile(script, CompilerVC6, ActionAutoIncrement, version);
        stampTimes.push_back(Now() - t0);
        if (!result.Stamped()) {
            std::printf("stamping failed: %ls\n", DescribeStampFailure(script, result).c_str());
            return 1;
        }
        logLines = result.logLines.size();
    }

    const double copyMs = Median(copyTimes) * 1000, flushedMs = Median(flushedTimes) * 1000,
                 stampMs = Median(stampTimes) * 1000;
    std::printf("resource script: %.1f MB, 8 version lines (%zu logged), median of %d rounds\n",
                static_cast<double>(text.size()) / (1024.0 * 1024.0), logLines, kRounds);
    std::printf("%-28s %10.2f ms\n", "copy (CopyFileW)", copyMs);
    std::printf("%-28s %10.2f ms\n", "copy + flush", flushedMs);
    std::printf("%-28s %10.2f ms\n", "stamp (auto-increment)", stampMs);
    std::printf("stamp / copy                 %10.2fx   (goal < 2x)\n", stampMs / copyMs);
    std::printf("stamp / (copy + flush)       %10.2fx\n", stampMs / flushedMs);

    DeleteFileW(script.c_str());
    DeleteFileW(copy.c_str());
    DeleteFileW(flushed.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
