#include "engine/EngineTestSupport.h"

#include "engine/LogLines.h"
#include "win/Text.h"

#include <shellapi.h>

#include <algorithm>

namespace kwtest {

namespace {

constexpr wchar_t kCollectorClass[] = L"KilnworksTestLogCollector";
// Only a hung run takes this long; no test relies on it otherwise.
constexpr DWORD kHungRunMs = 180000;

std::wstring XmlEscape(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

void MakeFolders(const std::wstring& folder) {
    size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) MakeFolders(folder.substr(0, slash));
    CreateDirectoryW(folder.c_str(), nullptr);
}

}  // namespace

std::wstring BuildTreePath(const std::string& relative) {
    std::wstring path = L"Z:" + kw::FromUtf8(KW_BINARY_DIR);
    if (!relative.empty()) path += L"/" + kw::FromUtf8(relative);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring StandInVisualStudioFolder() { return BuildTreePath("vs6/Common"); }

LogCollector::LogCollector() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kCollectorClass;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kCollectorClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LogCollector::~LogCollector() {
    Pump();
    DestroyWindow(window_);
}

LRESULT CALLBACK LogCollector::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<LogCollector*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kw::WM_LOG_TEXT) {
        auto* logText = reinterpret_cast<kw::LogText*>(wParam);
        if (logText) {
            Piece piece;
            piece.wide = logText->isWide != 0;
            if (piece.wide) piece.text = static_cast<const wchar_t*>(logText->text);
            else piece.bytes = static_cast<const char*>(logText->text);
            if (logText->listBox != self->ListBox()) self->foreignListBox_ = true;
            self->pieces_.push_back(std::move(piece));
        }
        kw::FreeLogText(logText);
        return 0;
    }
    if (self && message == kw::WM_RUN_FINISHED) {
        ++self->finished_;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void LogCollector::Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool LogCollector::PumpUntilFinished() {
    DWORD start = GetTickCount();
    while (finished_ == 0) {
        if (GetTickCount() - start > kHungRunMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        Pump();
    }
    return true;
}

std::string LogCollector::NarrowBytes() const {
    std::string bytes;
    for (const Piece& piece : pieces_) {
        if (!piece.wide) bytes += piece.bytes;
    }
    return bytes;
}

std::vector<std::wstring> LogCollector::WideLines() const {
    std::vector<std::wstring> lines;
    for (const Piece& piece : pieces_) {
        if (piece.wide) lines.push_back(piece.text);
    }
    return lines;
}

std::vector<std::wstring> LogCollector::Lines() const {
    std::vector<std::wstring> lines;
    for (const Piece& piece : pieces_) {
        if (piece.wide) {
            lines.push_back(piece.text);
            continue;
        }
        std::wstring buffer = kw::FromAnsi(piece.bytes);
        std::wstring line;
        while (kw::TakeNextLine(buffer, line)) lines.push_back(line);
    }
    return lines;
}

std::string VisualCppProjectFile(const std::wstring& wideName) {
    std::string name = kw::ToAnsi(wideName);
    std::string text;
    text += "# Microsoft Developer Studio Project File - Name=\"" + name + "\" - Package Owner=<4>\r\n";
    text += "# TARGTYPE \"Win32 (x86) Application\" 0x0101\r\n\r\n";
    text += "CFG=" + name + " - Win32 Debug\r\n";
    text += "!MESSAGE \"" + name + " - Win32 Release\" (based on \"Win32 (x86) Application\")\r\n";
    text += "!MESSAGE \"" + name + " - Win32 Debug\" (based on \"Win32 (x86) Application\")\r\n\r\n";
    text += "!IF  \"$(CFG)\" == \"" + name + " - Win32 Release\"\r\n# PROP Output_Dir \"Release\"\r\n";
    text += "!ELSEIF  \"$(CFG)\" == \"" + name + " - Win32 Debug\"\r\n# PROP Output_Dir \"Debug\"\r\n!ENDIF\r\n\r\n";
    text += "SOURCE=.\\" + name + ".cpp\r\nSOURCE=.\\Helpers.cpp\r\nSOURCE=.\\" + name + ".rc\r\n";
    return text;
}

std::string VisualBasicProjectFile(const std::wstring& wideName) {
    std::string name = kw::ToAnsi(wideName);
    return "Type=Exe\r\nForm=frmMain.frm\r\nModule=modMain; modMain.bas\r\nExeName32=\"" + name +
           ".exe\"\r\nName=\"" + name + "\"\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=0\r\n";
}

void WriteProjects(const std::vector<TestProject>& projects) {
    for (const TestProject& project : projects) {
        if (project.folder.empty()) continue;
        MakeFolders(project.folder);
        if (project.writeProjectFile) {
            bool basic = project.compiler == L"VB6";
            WriteBytes(project.folder + L"\\" + project.name + (basic ? L".vbp" : L".dsp"),
                       basic ? VisualBasicProjectFile(project.name) : VisualCppProjectFile(project.name));
        }
        if (!project.standIn.empty()) WriteBytes(project.folder + L"\\standin.ini", project.standIn);
    }
}

void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects) {
    std::wstring xml = L"<Package><Name>Test</Name><CurrentVersion>1.2.3.4</CurrentVersion><Projects>";
    for (const TestProject& project : projects) {
        bool basic = project.compiler == L"VB6";
        xml += L"<Project><ProjectID>" + std::to_wstring(project.id) + L"</ProjectID>";
        xml += L"<Name>" + XmlEscape(project.name) + L"</Name>";
        xml += L"<SourceLocation>" + XmlEscape(project.folder) + L"</SourceLocation>";
        xml += L"<Compiler>" + project.compiler + L"</Compiler>";
        xml += L"<DebugConfig>" + XmlEscape(project.debugConfig) + L"</DebugConfig>";
        xml += L"<ReleaseConfig>" + XmlEscape(project.releaseConfig) + L"</ReleaseConfig>";
        xml += L"<ResourceFile>" + XmlEscape(project.folder + L"\\" + project.name + (basic ? L".vbp" : L".rc")) +
               L"</ResourceFile>";
        xml += L"<Registrable>N</Registrable><Dependencies></Dependencies></Project>";
    }
    xml += L"</Projects></Package>";
    WriteBytes(path, kw::ToUtf8(xml));
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::wstring text = kw::FromUtf8(ReadBytes(path));
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

}  // namespace kwtest
