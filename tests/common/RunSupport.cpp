#include "common/RunSupport.h"

#include "engine/LogText.h"
#include "win/Text.h"

#include <shellapi.h>
#include <shlobj.h>

namespace kwtest {

namespace {

std::wstring XmlEscape(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) escaped += c == L'&' ? L"&amp;" : c == L'<' ? L"&lt;" : std::wstring(1, c);
    return escaped;
}

std::string VisualCppProjectFile(const std::wstring& wideName) {
    std::string name = kw::ToAnsi(wideName);
    return "# Microsoft Developer Studio Project File - Name=\"" + name + "\" - Package Owner=<4>\r\n"
           "# TARGTYPE \"Win32 (x86) Application\" 0x0101\r\n\r\nCFG=" + name + " - Win32 Debug\r\n"
           "!MESSAGE \"" + name + " - Win32 Release\" (based on \"Win32 (x86) Application\")\r\n"
           "!MESSAGE \"" + name + " - Win32 Debug\" (based on \"Win32 (x86) Application\")\r\n\r\n"
           "!IF  \"$(CFG)\" == \"" + name + " - Win32 Release\"\r\n# PROP Output_Dir \"Release\"\r\n"
           "!ELSEIF  \"$(CFG)\" == \"" + name + " - Win32 Debug\"\r\n# PROP Output_Dir \"Debug\"\r\n!ENDIF\r\n\r\n"
           "SOURCE=.\\" + name + ".cpp\r\nSOURCE=.\\Helpers.cpp\r\nSOURCE=.\\" + name + ".rc\r\n";
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

}  // namespace

std::wstring StandInVisualStudioFolder() { return ProgramFolder() + L"\\vs6\\Common"; }

LRESULT RunReceiver::Procedure(void* context, HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) {
    auto* self = static_cast<RunReceiver*>(context);
    handled = message == kw::WM_LOG_TEXT || message == kw::WM_RUN_FINISHED;
    if (message == kw::WM_LOG_TEXT) {
        if (auto* logText = reinterpret_cast<kw::LogText*>(wParam)) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            bool wide = logText->isWide != 0;
            self->pieces_.push_back({wide, wide ? "" : static_cast<const char*>(logText->text), now.QuadPart});
            self->foreignListBox_ |= logText->listBox != self->ListBox();
        }
        self->receiver_.Receive(wParam);
    } else if (message == kw::WM_RUN_FINISHED) {
        self->receiver_.Flush();
        ++self->finished_;
    }
    return 0;
}

RunReceiver::RunReceiver() : receiver_([this](HWND, const std::wstring& line) { lines_.push_back(line); }) {
    receiver_.Attach(window_.Handle());
}

void RunReceiver::Pump() { kwtest::Pump(nullptr); }

bool RunReceiver::PumpUntilFinished() {
    DWORD start = GetTickCount();
    while (finished_ == 0) {
        if (GetTickCount() - start > 180000) return false;  // only a hung run takes this long
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
    for (const Piece& piece : pieces_) bytes += piece.bytes;  // empty for wide ones
    return bytes;
}

void WriteProjects(const std::vector<TestProject>& projects) {
    for (const TestProject& project : projects) {
        if (project.folder.empty() || !project.writeProjectFile) continue;
        SHCreateDirectoryExW(nullptr, project.folder.c_str(), nullptr);
        bool basic = project.compiler == L"VB6";
        std::wstring base = project.folder + L"\\" + project.name;
        std::string text = basic ? VisualBasicProjectFile(project.name) : VisualCppProjectFile(project.name);
        if (basic && !project.resource.empty()) text = project.resource;
        WriteBytes(base + (basic ? L".vbp" : L".dsp"), text);
        if (!basic) WriteBytes(base + L".rc", project.resource.empty() ? ResourceScript() : project.resource);
        if (!project.standIn.empty()) WriteBytes(project.folder + L"\\standin.ini", project.standIn);
    }
}

void WritePackage(const std::wstring& path, const std::vector<TestProject>& projects, const std::wstring& name,
                  const std::wstring& version) {
    std::wstring xml = L"<Package><Name>" + XmlEscape(name) + L"</Name>";
    if (!version.empty()) xml += L"<CurrentVersion>" + version + L"</CurrentVersion>";
    xml += L"<Projects>";
    for (const TestProject& project : projects) {
        bool basic = project.compiler == L"VB6";
        xml += L"<Project><ProjectID>" + XmlEscape(project.id) + L"</ProjectID>";
        xml += L"<Name>" + XmlEscape(project.name) + L"</Name>";
        xml += L"<SourceLocation>" + XmlEscape(project.folder) + L"</SourceLocation>";
        if (!project.compiler.empty()) xml += L"<Compiler>" + project.compiler + L"</Compiler>";
        xml += L"<DebugConfig>" + XmlEscape(project.debugConfig) + L"</DebugConfig>";
        xml += L"<ReleaseConfig>" + XmlEscape(project.releaseConfig) + L"</ReleaseConfig>";
        xml += L"<ResourceFile>" + XmlEscape(project.folder + L"\\" + project.name + (basic ? L".vbp" : L".rc")) +
               L"</ResourceFile>";
        xml += L"<Registrable>N</Registrable><Dependencies>" + XmlEscape(project.dependencies) +
               L"</Dependencies></Project>";
    }
    xml += L"</Projects></Package>";
    WriteBytes(path, kw::ToUtf8(xml));
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
