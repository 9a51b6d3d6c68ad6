#include "common/RunSupport.h"

#include "engine/LogText.h"
#include "win/Controls.h"
#include "win/Text.h"

#include <shellapi.h>

#include <algorithm>

namespace kwtest {

namespace {

// Only a hung run takes this long; no test relies on it otherwise.
constexpr DWORD kHungRunMs = 180000;

long long Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

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

struct RunReceiver::Host {
    kw::MessageOnlyWindow window;
    explicit Host(RunReceiver* owner) : window(Procedure, owner) {}

    static LRESULT Procedure(void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) {
        auto* self = static_cast<RunReceiver*>(context);
        if (message == kw::WM_LOG_TEXT) {
            if (auto* logText = reinterpret_cast<kw::LogText*>(wParam)) {
                Piece piece;
                piece.ticks = Now();
                piece.wide = logText->isWide != 0;
                if (piece.wide) piece.text = static_cast<const wchar_t*>(logText->text);
                else piece.bytes = static_cast<const char*>(logText->text);
                if (logText->listBox != self->ListBox()) self->foreignListBox_ = true;
                self->pieces_.push_back(std::move(piece));
            }
            self->receiver_.Receive(wParam);
            handled = true;
        } else if (message == kw::WM_RUN_FINISHED) {
            self->receiver_.Flush();
            ++self->finished_;
            handled = true;
        }
        return 0;
    }
};

RunReceiver::RunReceiver()
    : receiver_([this](HWND, const std::wstring& line) { lines_.push_back(line); }) {
    window_ = std::make_unique<Host>(this);
    receiver_.Attach(window_->window.Handle());
}

RunReceiver::~RunReceiver() { Pump(); }

HWND RunReceiver::Window() const { return window_->window.Handle(); }

void RunReceiver::Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool RunReceiver::PumpUntilFinished() {
    DWORD start = GetTickCount();
    while (finished_ == 0) {
        if (GetTickCount() - start > kHungRunMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        Pump();
    }
    return true;
}

void RunReceiver::Clear() {
    pieces_.clear();
    lines_.clear();
    finished_ = 0;
}

std::string RunReceiver::NarrowBytes() const {
    std::string bytes;
    for (const Piece& piece : pieces_) {
        if (!piece.wide) bytes += piece.bytes;
    }
    return bytes;
}

std::vector<std::wstring> RunReceiver::WideLines() const {
    std::vector<std::wstring> lines;
    for (const Piece& piece : pieces_) {
        if (piece.wide) lines.push_back(piece.text);
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

std::string ResourceScript() {
    return "1 VERSIONINFO\r\n FILEVERSION 1,0,0,1\r\n PRODUCTVERSION 1,0,0,1\r\nBEGIN\r\n"
           "            VALUE \"FileVersion\", \"1.0.0.1\\0\"\r\n"
           "            VALUE \"ProductVersion\", \"1.0.0.1\\0\"\r\nEND\r\n";
}

void WriteProjects(const std::vector<TestProject>& projects) {
    for (const TestProject& project : projects) {
        if (project.folder.empty() || !project.writeProjectFile) continue;
        MakeFolders(project.folder);
        bool basic = project.compiler == L"VB6";
        std::wstring base = project.folder + L"\\" + project.name;
        std::string text = basic ? VisualBasicProjectFile(project.name) : VisualCppProjectFile(project.name);
        if (basic && !project.resource.empty()) text = project.resource;
        WriteBytes(base + (basic ? L".vbp" : L".dsp"), text);
        if (!basic) WriteBytes(base + L".rc", project.resource.empty() ? ResourceScript() : project.resource);
        if (!project.standIn.empty()) WriteBytes(project.folder + L"\\standin.ini", project.standIn);
    }
}

void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects) {
    std::wstring xml = L"<Package><Name>Test</Name><CurrentVersion>1.2.3.4</CurrentVersion><Projects>";
    for (const TestProject& project : projects) {
        bool basic = project.compiler == L"VB6";
        xml += L"<Project><ProjectID>" + XmlEscape(project.id) + L"</ProjectID>";
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
