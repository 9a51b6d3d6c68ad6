// Shared by the engine benchmarks: a scratch package of stand-in projects and a receiver window
// that notes when each piece of log text arrives.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "engine/BuildController.h"
#include "engine/LogText.h"
#include "package/PackageDocument.h"
#include "win/Text.h"

namespace kwbench {

inline std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) n = GetTempPathW(MAX_PATH, buffer);
    std::wstring folder(buffer, n);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string DspFor(const std::string& name) {
    return "# TARGTYPE \"Win32 (x86) Application\" 0x0101\r\n"
           "!MESSAGE \"" + name + " - Win32 Debug\" (based on \"Win32 (x86) Application\")\r\n"
           "!IF  \"$(CFG)\" == \"" + name + " - Win32 Debug\"\r\n# PROP Output_Dir \"Debug\"\r\n!ENDIF\r\n"
           "SOURCE=.\\" + name + ".cpp\r\n";
}

// count VC6 projects P1..Pn under root, each with the given standin.ini; returns the package path.
inline std::wstring MakeVisualCppPackage(const std::wstring& root, int count, const std::string& standIn) {
    CreateDirectoryW(root.c_str(), nullptr);
    std::string xml = "<Package><Name>Bench</Name><CurrentVersion>1.0.0.0</CurrentVersion><Projects>";
    for (int i = 1; i <= count; ++i) {
        std::string name = "P" + std::to_string(i);
        std::wstring folder = root + L"\\" + kw::FromUtf8(name);
        CreateDirectoryW(folder.c_str(), nullptr);
        WriteFileBytes(folder + L"\\" + kw::FromUtf8(name) + L".dsp", DspFor(name));
        if (!standIn.empty()) WriteFileBytes(folder + L"\\standin.ini", standIn);
        std::string f = kw::ToUtf8(folder);
        xml += "<Project><ProjectID>" + std::to_string(i) + "</ProjectID><Name>" + name + "</Name><SourceLocation>" +
               f + "</SourceLocation><Compiler>VC6</Compiler><DebugConfig>Win32 Debug</DebugConfig>"
               "<ReleaseConfig>Win32 Release</ReleaseConfig><ResourceFile>" + f + "\\" + name +
               ".rc</ResourceFile><Registrable>N</Registrable><Dependencies></Dependencies></Project>";
    }
    xml += "</Projects></Package>";
    std::wstring package = root + L"\\bench.kwp";
    WriteFileBytes(package, xml);
    return package;
}

inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// One piece of narrow log text and the moment it arrived.
struct Arrival {
    std::string bytes;
    long long ticks;
};

// Receives a run on a message-only window.
class Receiver {
public:
    Receiver() {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KilnworksBenchReceiver";
        RegisterClassExW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Receiver() { DestroyWindow(window_); }

    HWND Window() const { return window_; }
    std::vector<Arrival>& Arrivals() { return arrivals_; }

    // Handles what is queued now.
    void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    // Pumps until WM_RUN_FINISHED.
    void WaitForEnd() {
        finished_ = false;
        MSG message;
        while (!finished_ && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Receiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == kw::WM_LOG_TEXT) {
            long long now = Ticks();
            auto* logText = reinterpret_cast<kw::LogText*>(wParam);
            if (logText && !logText->isWide) {
                self->arrivals_.push_back({static_cast<const char*>(logText->text), now});
            }
            kw::FreeLogText(logText);
            return 0;
        }
        if (self && message == kw::WM_RUN_FINISHED) {
            self->finished_ = true;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::vector<Arrival> arrivals_;
    bool finished_ = false;
};

// Runs the Debug build of every target through the engine and waits for its end. Seconds.
inline double RunThroughEngine(kw::PackageDocument& document, const std::wstring& temporaryFolder,
                               std::vector<int> targets, Receiver& receiver) {
    targets.push_back(0);
    kw::EventLogRef eventLog{nullptr};
    long long start = Ticks();
    {
        kw::BuildController controller(document, temporaryFolder.c_str());
        controller.ReadVisualStudioLocation();
        controller.SetBuildActions(true, false, false, false);
        controller.SetVersionAction(false, false, 0, 0, 0, 0);
        if (controller.StartRun(targets.data(), receiver.Window(), &eventLog) != 0) return -1;
    }
    receiver.WaitForEnd();
    return Seconds(Ticks() - start);
}

}  // namespace kwbench
