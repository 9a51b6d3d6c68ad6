// Helpers of the main window tests: packages on disk, the stand-in builders, and waiting for a
// window while its messages are handled.
#pragma once

#include "common/TestSupport.h"
#include "win/Text.h"

#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

namespace kwtest {

struct AppProject {
    int id;
    std::string name;
    std::string compiler = "VC6";
    std::string folder;        // empty: none on disk
    std::string resourceFile;  // empty: folder\name.rc
};

inline std::string PackageXml(const std::string& name, const std::vector<AppProject>& projects,
                              const std::string& version = "1.0.0.0") {
    std::string xml = "<Package><Name>" + name + "</Name><CurrentVersion>" + version + "</CurrentVersion><Projects>";
    for (const AppProject& p : projects) {
        std::string resource = p.resourceFile.empty() ? p.folder + "\\" + p.name + ".rc" : p.resourceFile;
        xml += "<Project><ProjectID>" + std::to_string(p.id) + "</ProjectID><Name>" + p.name +
               "</Name><SourceLocation>" + p.folder + "</SourceLocation><Compiler>" + p.compiler +
               "</Compiler><DebugConfig>Win32 Debug</DebugConfig><ReleaseConfig>Win32 Release</ReleaseConfig>"
               "<ResourceFile>" + resource + "</ResourceFile><Registrable>N</Registrable></Project>";
    }
    return xml + "</Projects></Package>";
}

// A project folder the stand-in builders can build: Name.dsp or Name.vbp, and standin.ini.
inline void WriteProjectFolder(const AppProject& p, const std::string& standIn = std::string()) {
    std::wstring folder = kw::FromUtf8(p.folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    if (p.compiler == "VB6") {
        WriteBytes(folder + L"\\" + kw::FromUtf8(p.name) + L".vbp",
                   "Type=Exe\r\nForm=frmMain.frm\r\nExeName32=\"" + p.name + ".exe\"\r\n");
    } else {
        const std::string& n = p.name;
        WriteBytes(folder + L"\\" + kw::FromUtf8(n) + L".dsp",
                   "# TARGTYPE \"Win32 (x86) Application\" 0x0101\r\n!MESSAGE \"" + n +
                       " - Win32 Release\" (based on \"Win32 (x86) Application\")\r\n!MESSAGE \"" + n +
                       " - Win32 Debug\" (based on \"Win32 (x86) Application\")\r\n!IF  \"$(CFG)\" == \"" + n +
                       " - Win32 Release\"\r\n# PROP Output_Dir \"Release\"\r\n!ELSEIF  \"$(CFG)\" == \"" + n +
                       " - Win32 Debug\"\r\n# PROP Output_Dir \"Debug\"\r\n!ENDIF\r\nSOURCE=.\\" + n + ".cpp\r\n");
    }
    if (!standIn.empty()) WriteBytes(folder + L"\\standin.ini", standIn);
}

// True when the prefix's VsCommonDir leads to the stand-in builders (the test script sets it).
inline bool StandInsInstalled() {
    wchar_t folder[256] = {};
    DWORD bytes = sizeof(folder) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\VisualStudio\\6.0\\Setup", L"VsCommonDir",
                     RRF_RT_REG_SZ, nullptr, folder, &bytes) != ERROR_SUCCESS) {
        return false;
    }
    return FileExists(std::wstring(folder) + L"\\MSDEV98\\Bin\\MSDEV.exe");
}

// Processes of this name now running.
inline int CountProcesses(const wchar_t* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32W entry = {sizeof(entry)};
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, exeName) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Handles this thread's messages until done() holds; false when it still doesn't after a minute.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 60000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

}  // namespace kwtest
