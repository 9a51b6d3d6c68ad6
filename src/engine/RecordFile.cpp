#include "engine/RecordFile.h"

#include "win/AtomicFile.h"

#include <windows.h>

#include <vector>

namespace kw {

namespace {

std::wstring FullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::vector<wchar_t> buffer(size + 1);
    DWORD got = GetFullPathNameW(path.c_str(), size + 1, buffer.data(), nullptr);
    return got > 0 && got <= size ? std::wstring(buffer.data(), got) : path;
}

std::wstring FolderOf(const std::wstring& fullPath) {
    size_t slash = fullPath.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    // "C:\file" lives in "C:\", not in "C:".
    if (slash == 2 && fullPath[1] == L':') return fullPath.substr(0, 3);
    return fullPath.substr(0, slash);
}

}  // namespace

bool CanWriteRecordFile(const std::wstring& path, std::wstring& problem) {
    problem.clear();
    if (path.empty()) {
        problem = L"no file name was given";
        return false;
    }
    const std::wstring full = FullPath(path);
    const wchar_t last = full.empty() ? L'\\' : full.back();
    if (last == L'\\' || last == L'/') {
        problem = L"'" + path + L"' names a folder, not a file";
        return false;
    }
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = L"'" + path + L"' is a folder";
        return false;
    }
    if (IsReadOnlyFile(full)) {
        problem = L"'" + path + L"' is read-only";
        return false;
    }
    const std::wstring folder = FolderOf(full);
    DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
        problem = L"the folder '" + folder + L"' does not exist";
        return false;
    }
    if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = L"'" + folder + L"' is a file, not a folder";
        return false;
    }
    // The write itself goes through a temporary file beside the target; try making one.
    std::wstring probe;
    DWORD error = WriteTemporaryBeside(full, {}, probe);
    if (error != 0) {
        problem = L"can't write in the folder '" + folder + L"': " + DescribeWin32Error(error);
        return false;
    }
    DeleteFileW(probe.c_str());
    return true;
}

unsigned long WriteRecordFile(const std::wstring& path, std::string_view bytes, std::wstring& problem) {
    problem.clear();
    DWORD error = path.empty() ? ERROR_INVALID_NAME : ReplaceFileContents(FullPath(path), bytes);
    if (error != 0) problem = L"Could not write '" + path + L"': " + DescribeWin32Error(error) + L".";
    return error;
}

}  // namespace kw
