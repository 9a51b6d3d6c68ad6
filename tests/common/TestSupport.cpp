#include "common/TestSupport.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "win/AtomicFile.h"
#include "win/Text.h"

namespace kwtest {

namespace {

std::wstring TestRoot() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    std::wstring root(buffer, n);
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    root += L"\\kwtest-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

}  // namespace

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

ScratchDir::ScratchDir(std::wstring_view name) {
    static std::atomic<int> counter{0};
    static const std::wstring root = TestRoot();
    path_ = root + L"\\" + std::wstring(name) + L"-" + std::to_wstring(++counter);
    RemoveTree(path_);
    if (!CreateDirectoryW(path_.c_str(), nullptr)) throw std::runtime_error("cannot create scratch dir");
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::wstring ScratchDir::File(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + Narrow(path));
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    kw::ReadWholeFile(path, bytes);
    return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ListFolder(const std::wstring& folder) {
    std::wstring names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!names.empty()) names += L" ";
        names += name;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::string Narrow(const std::wstring& text) { return kw::ToUtf8(text); }

std::wstring ProgramFolder() {
    wchar_t buffer[4096] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, 4096);
    std::wstring path(buffer, n);
    return path.substr(0, path.find_last_of(L"\\/"));
}

namespace {

// Drains one pipe on its own thread so that neither stream can block the child.
struct PipeReader {
    HANDLE pipe;
    std::string data;
    static DWORD WINAPI Run(void* self) {
        auto* reader = static_cast<PipeReader*>(self);
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) reader->data.append(buffer, got);
        return 0;
    }
};

std::wstring BuildEnvironment(const std::vector<std::wstring>& changes) {
    std::vector<std::wstring> vars;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) vars.emplace_back(p);
    FreeEnvironmentStringsW(block);
    for (const std::wstring& change : changes) {
        std::wstring name = change.substr(0, change.find(L'=') + 1);
        for (auto it = vars.begin(); it != vars.end();) {
            if (_wcsnicmp(it->c_str(), name.c_str(), name.size()) == 0) it = vars.erase(it); else ++it;
        }
        if (change.size() > name.size()) vars.push_back(change);
    }
    std::wstring result;
    for (const std::wstring& v : vars) result += v + L'\0';
    result += L'\0';
    return result;
}

}  // namespace

Captured RunCaptured(const std::wstring& commandLine, const std::vector<std::wstring>& environment) {
    return RunCaptured(commandLine, environment, 0, nullptr);
}

Captured RunCaptured(const std::wstring& commandLine, const std::vector<std::wstring>& environment, DWORD flags,
                     const std::function<void(DWORD processId)>& during) {
    Captured captured;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    std::wstring mutableLine = commandLine;
    std::wstring env = BuildEnvironment(environment);
    BOOL started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | flags,
                                  env.data(), nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    PipeReader outReader{outRead, {}};
    PipeReader errReader{errRead, {}};
    if (started) {
        HANDLE threads[2] = {CreateThread(nullptr, 0, PipeReader::Run, &outReader, 0, nullptr),
                             CreateThread(nullptr, 0, PipeReader::Run, &errReader, 0, nullptr)};
        if (during) during(process.dwProcessId);
        WaitForSingleObject(process.hProcess, INFINITE);
        WaitForMultipleObjects(2, threads, TRUE, INFINITE);
        CloseHandle(threads[0]);
        CloseHandle(threads[1]);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        captured.exitCode = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    captured.out = std::move(outReader.data);
    captured.err = std::move(errReader.data);
    return captured;
}

}  // namespace kwtest
