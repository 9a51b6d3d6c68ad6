#include "StandIn.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>

namespace standin {

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

void WriteAll(HANDLE file, std::string_view bytes) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + offset, static_cast<DWORD>(bytes.size() - offset), &written, nullptr) ||
            written == 0) {
            return;
        }
        offset += written;
    }
}

HANDLE OpenForWriting(const std::wstring& path, DWORD disposition, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

LONG WINAPI EndOnUnhandled(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

}  // namespace

int Settings::ExitCode(bool failed) const {
    if (exitCode >= 0) return static_cast<int>(exitCode);
    return failed ? 1 : 0;
}

Settings ReadSettings(const std::wstring& folder) {
    Settings settings;
    std::string bytes;
    if (!ReadFileBytes(folder + L"\\" + kSettingsFile, bytes)) return settings;
    for (const std::string& raw : SplitLines(bytes)) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        long long number = std::strtoll(value.c_str(), nullptr, 10);
        if (key == "result") settings.result = value;
        else if (key == "exitcode") settings.exitCode = number;
        else if (key == "hang") settings.hangMs = static_cast<DWORD>(number);
        else if (key == "delay") settings.delayMs = static_cast<DWORD>(number);
        else if (key == "flood") settings.floodBytes = static_cast<std::uint64_t>(number);
        else if (key == "floodms") settings.floodMs = static_cast<DWORD>(number);
        else if (key == "exactbytes") settings.exactBytes = number;
        else if (key == "mirror") settings.mirror = Widen(value);
        else if (key == "journal") settings.journal = Widen(value);
        else if (key == "spawn") settings.spawn = Widen(value);
        else if (key == "text") settings.text = Widen(value);
        else if (key == "duration") settings.durationMs = static_cast<DWORD>(number);
        else if (key == "times") settings.times = Widen(value);
    }
    return settings;
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    return path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string Ansi(std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool RunAsSleeper(int argc, wchar_t** argv) {
    if (argc < 2 || std::wstring(argv[1]) != L"--sleep") return false;
    Sleep(INFINITE);
    return true;
}

void WriteJournal(const Settings& settings, const std::wstring& projectFolder) {
    // The call goes into the journal first: whoever sees the spawned child's file finds it there.
    if (!settings.journal.empty()) {
        HANDLE file = OpenForWriting(settings.journal, OPEN_ALWAYS, FILE_APPEND_DATA);
        if (file != INVALID_HANDLE_VALUE) {
            WriteAll(file, Utf8(GetCommandLineW()) + "\r\n");
            CloseHandle(file);
        }
    }
    if (!settings.spawn.empty()) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = L"\"" + std::wstring(self) + L"\" --sleep";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child{};
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
            HANDLE file = OpenForWriting(projectFolder + L"\\" + settings.spawn, CREATE_ALWAYS, GENERIC_WRITE);
            if (file != INVALID_HANDLE_VALUE) {
                WriteAll(file, std::to_string(child.dwProcessId));
                CloseHandle(file);
            }
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
    }
}

Log::Log(const std::wstring& path, const Settings& settings, const std::wstring& projectFolder)
    : settings_(settings) {
    file_ = OpenForWriting(path, CREATE_ALWAYS, GENERIC_WRITE);
    if (!settings.mirror.empty()) {
        mirror_ = OpenForWriting(projectFolder + L"\\" + settings.mirror, CREATE_ALWAYS, GENERIC_WRITE);
    }
    if (!settings.text.empty()) ReadFileBytes(projectFolder + L"\\" + settings.text, text_);
}

Log::~Log() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    if (mirror_ != INVALID_HANDLE_VALUE) CloseHandle(mirror_);
}

void Log::Write(std::string_view bytes) {
    if (file_ != INVALID_HANDLE_VALUE) WriteAll(file_, bytes);
    if (mirror_ != INVALID_HANDLE_VALUE) WriteAll(mirror_, bytes);
}

void Log::Line(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    Write(line);
    if (settings_.delayMs) Sleep(settings_.delayMs);
}

void Log::Flood() {
    if (!text_.empty()) Write(text_);
    if (settings_.floodBytes == 0) return;
    // Every line has the same length, so the byte count is easy to reason about.
    constexpr size_t kLineBytes = 64;
    std::uint64_t lines = std::max<std::uint64_t>(1, settings_.floodBytes / kLineBytes);
    std::uint64_t chunks = settings_.floodMs ? std::max<std::uint64_t>(1, settings_.floodMs / 10) : 1;
    chunks = std::min(chunks, lines);
    std::uint64_t written = 0;
    for (std::uint64_t chunk = 0; chunk < chunks; ++chunk) {
        std::uint64_t until = lines * (chunk + 1) / chunks;
        std::string text;
        text.reserve(static_cast<size_t>((until - written) * kLineBytes));
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        for (; written < until; ++written) {
            char line[kLineBytes + 1];
            int n = std::snprintf(line, sizeof(line), "     generated line %010llu written at %020lld\r\n",
                                  static_cast<unsigned long long>(written + 1), static_cast<long long>(now.QuadPart));
            text.append(line, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(kLineBytes))));
        }
        Write(text);
        if (settings_.floodMs && chunk + 1 < chunks) Sleep(settings_.floodMs / static_cast<DWORD>(chunks));
    }
}

bool RunExactBytes(const std::wstring& logPath, const Settings& settings, const std::wstring& projectFolder,
                   int& exitCode) {
    if (settings.exactBytes < 0) return false;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(settings.exactBytes));
    for (long long line = 1; static_cast<long long>(bytes.size()) < settings.exactBytes; ++line) {
        char text[64];
        std::snprintf(text, sizeof(text), "log line %06lld .................................\r\n", line);
        bytes += text;
    }
    bytes.resize(static_cast<size_t>(settings.exactBytes));
    {
        Settings quiet = settings;
        quiet.delayMs = 0;
        Log log(logPath, quiet, projectFolder);
        log.Write(bytes);
        if (settings.hangMs) Sleep(settings.hangMs);
    }
    exitCode = settings.ExitCode(false);
    return true;
}

Timeline::Timeline(const Settings& settings, const std::wstring& projectFolder, const std::wstring& projectFile)
    : settings_(settings), startTick_(GetTickCount64()) {
    if (settings.times.empty()) return;
    const std::wstring& times = settings.times;
    bool absolute = (times.size() > 1 && times[1] == L':') || times[0] == L'\\' || times[0] == L'/';
    path_ = absolute ? times : projectFolder + L"\\" + times;
    std::wstring name = NameOf(projectFile);
    name_ = Utf8(name.substr(0, name.find_last_of(L'.')));
    Record("start");
}

Timeline::~Timeline() { Record("end"); }

void Timeline::SleepOut() const {
    ULONGLONG elapsed = GetTickCount64() - startTick_;
    if (elapsed < settings_.durationMs) Sleep(static_cast<DWORD>(settings_.durationMs - elapsed));
}

void Timeline::Record(const char* what) const {
    if (path_.empty()) return;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    long long micros = static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000 +
                                              now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
    char line[600];
    int n = std::snprintf(line, sizeof line, "%s %s %lld\r\n", what, name_.c_str(), micros);
    if (n <= 0) return;
    // One write in append mode: lines of builders running at once never mix.
    HANDLE file = OpenForWriting(path_, OPEN_ALWAYS, FILE_APPEND_DATA);
    if (file == INVALID_HANDLE_VALUE) return;
    WriteAll(file, std::string_view(line, static_cast<size_t>(std::min(n, static_cast<int>(sizeof line) - 1))));
    CloseHandle(file);
}

void Crash() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnUnhandled);
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(EXCEPTION_ACCESS_VIOLATION);  // not reached
}

void MakeOutput(const std::wstring& path) {
    CreateDirectoryW(FolderOf(path).c_str(), nullptr);
    HANDLE file = OpenForWriting(path, CREATE_ALWAYS, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) return;
    WriteAll(file, "MZ built by the Kilnworks stand-in builder\r\n");
    CloseHandle(file);
}

void DeleteOutput(const std::wstring& path) { DeleteFileW(path.c_str()); }

}  // namespace standin
