#include "common/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "win/AtomicFile.h"
#include "win/Text.h"

namespace kwtest {

namespace {

// A folder's entries without "." and "..".
std::vector<WIN32_FIND_DATAW> Entries(const std::wstring& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) entries.push_back(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

std::wstring BuildEnvironment(const std::vector<std::wstring>& changes) {
    std::vector<std::wstring> vars;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) vars.emplace_back(p);
    FreeEnvironmentStringsW(block);
    for (const std::wstring& change : changes) {
        std::wstring name = change.substr(0, change.find(L'=') + 1);
        auto same = [&](const std::wstring& v) { return _wcsnicmp(v.c_str(), name.c_str(), name.size()) == 0; };
        vars.erase(std::remove_if(vars.begin(), vars.end(), same), vars.end());
        if (change.size() > name.size()) vars.push_back(change);
    }
    std::wstring result;
    for (const std::wstring& v : vars) result += v + L'\0';
    return result + L'\0';
}

}  // namespace

void RemoveTree(const std::wstring& folder) {
    for (const WIN32_FIND_DATAW& entry : Entries(folder)) {
        std::wstring full = folder + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(full);
        } else {
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

ScratchDir::ScratchDir(std::wstring_view name) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);  // ends in a backslash
    path_ = temp + (L"kwtest-" + std::to_wstring(GetCurrentProcessId()) + L"-") + std::wstring(name) + L"-" +
            std::to_wstring(++counter);
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
    std::vector<std::wstring> names;
    for (const WIN32_FIND_DATAW& entry : Entries(folder)) names.push_back(entry.cFileName);
    std::sort(names.begin(), names.end());
    std::wstring joined;
    for (const std::wstring& name : names) joined += (joined.empty() ? L"" : L" ") + name;
    return joined;
}

std::string Narrow(const std::wstring& text) { return kw::ToUtf8(text); }

std::wstring ProgramFolder() {
    wchar_t path[4096] = {};
    GetModuleFileNameW(nullptr, path, 4096);
    return std::wstring(path, wcsrchr(path, L'\\'));
}

Captured RunCaptured(const std::wstring& commandLine, const std::vector<std::wstring>& environment,
                     const std::function<void(DWORD processId)>& during) {
    // Into files rather than pipes: nothing can block the child, and no reader waits for its children.
    ScratchDir dir(L"captured");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const wchar_t* name) {
        return CreateFileW(dir.File(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = create(L"out");
    startup.hStdError = create(L"err");
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine, env = BuildEnvironment(environment);
    Captured captured;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, env.data(), nullptr,
                       &startup, &process)) {
        if (during) during(process.dwProcessId);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        captured.exitCode = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    captured.out = ReadBytes(dir.File(L"out"));
    captured.err = ReadBytes(dir.File(L"err"));
    return captured;
}

}  // namespace kwtest
