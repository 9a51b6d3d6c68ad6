#include "win/AtomicFile.h"

#include "win/Handles.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace kw {

namespace {

constexpr int kShareRetries = 10;
constexpr DWORD kShareRetryDelayMs = 50;

// Where the system (or the file system under the file) has no ReplaceFileW, a plain move does.
bool IsReplaceUnsupported(DWORD error) {
    return error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_INVALID_PARAMETER;
}

// The attributes a program may give a file; the rest belong to the file system.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

// Wine's ReplaceFileW refuses names without a folder.
std::wstring FullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

// A name beside target that no file has; the old file rests there while ReplaceFileW swaps.
std::wstring UnusedNameBeside(const std::wstring& target) {
    static LONG counter = 0;
    std::wstring name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t unique[40];
        swprintf(unique, 40, L".~kw%lx-%lx.old", static_cast<unsigned long>(GetCurrentProcessId()),
                 static_cast<unsigned long>(InterlockedIncrement(&counter)));
        name = target + unique;
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    return name;
}

DWORD MoveReplacing(const std::wstring& tempPath, const std::wstring& target) {
    if (MoveFileExW(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return GetLastError();
}

// ReplaceFileW keeps the target's attributes, security and streams. The old file passes through
// a backup name, so every way ReplaceFileW can fail leaves it recoverable: when the new file
// could not take its place after the old one moved aside, the old one is moved back.
DWORD ReplaceKeepingFile(const std::wstring& tempPath, const std::wstring& target) {
    const std::wstring backup = UnusedNameBeside(target);
    if (ReplaceFileW(target.c_str(), tempPath.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return 0;
    }
    const DWORD error = GetLastError();
    if (GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // If even this fails the old text stays under the backup name rather than being lost.
        MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    return error;
}

}  // namespace

bool IsSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

bool IsReadOnlyFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD CommitReplacement(const std::wstring& tempPath, const std::wstring& target) {
    DWORD error = 0;
    const std::wstring fullTemp = FullPath(tempPath), fullTarget = FullPath(target);
    const DWORD attributes = GetFileAttributesW(fullTarget.c_str());
    if (IsReadOnlyFile(fullTarget)) {
        error = ERROR_ACCESS_DENIED;
    } else {
        bool replace = attributes != INVALID_FILE_ATTRIBUTES;  // nothing to keep when there is no file yet
        for (int attempt = 0;; ++attempt) {
            error = replace ? ReplaceKeepingFile(fullTemp, fullTarget) : MoveReplacing(fullTemp, fullTarget);
            if (error == 0) break;
            if (replace && (IsReplaceUnsupported(error) ||
                            (error == ERROR_FILE_NOT_FOUND &&
                             GetFileAttributesW(fullTarget.c_str()) == INVALID_FILE_ATTRIBUTES &&
                             GetFileAttributesW(fullTemp.c_str()) != INVALID_FILE_ATTRIBUTES))) {
                replace = false;  // no ReplaceFileW here, or the target went away meanwhile
                continue;
            }
            // A file being deleted or scanned by another process refuses access for a moment too.
            const bool passing = IsSharingError(error) || error == ERROR_ACCESS_DENIED;
            if (!passing || attempt + 1 >= kShareRetries) break;
            Sleep(kShareRetryDelayMs);
        }
        if (error == 0) {
            // Not every ReplaceFileW carries the attributes over (Wine's doesn't), and a move never
            // does. The file changed, so it is due for backup.
            if (attributes != INVALID_FILE_ATTRIBUTES) {
                const DWORD wanted = (attributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
                const DWORD now = GetFileAttributesW(fullTarget.c_str());
                if (now != INVALID_FILE_ATTRIBUTES && (now & kSettableAttributes) != wanted) {
                    SetFileAttributesW(fullTarget.c_str(), wanted);
                }
            }
            return 0;
        }
    }
    DeleteFileW(fullTemp.c_str());
    return error ? error : ERROR_GEN_FAILURE;
}

namespace {

// Writes bytes into a file created with the given disposition, flushed to disk. A file this call
// created is deleted again on failure; one it could not create is never touched.
DWORD WriteCreated(const std::wstring& path, DWORD disposition, std::string_view bytes) {
    DWORD error = 0;
    {
        FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file.Valid()) return GetLastError();
        size_t offset = 0;
        while (offset < bytes.size() && error == 0) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.Get(), bytes.data() + offset, chunk, &written, nullptr)) {
                error = GetLastError();
            } else if (written != chunk) {
                error = ERROR_DISK_FULL;
            }
            offset += written;
        }
        if (error == 0 && !FlushFileBuffers(file.Get())) error = GetLastError();
    }
    if (error != 0) DeleteFileW(path.c_str());
    return error;
}

}  // namespace

DWORD WriteWholeFile(const std::wstring& tempPath, std::string_view bytes) {
    return WriteCreated(tempPath, CREATE_ALWAYS, bytes);
}

DWORD WriteTemporaryBeside(const std::wstring& target, std::string_view bytes, std::wstring& tempPath) {
    static LONG counter = 0;
    const DWORD process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Made only with CREATE_NEW: whatever the name, a file that already exists is never
        // opened, let alone overwritten or deleted; another name is tried instead.
        wchar_t unique[40];
        swprintf(unique, 40, L".~kw%lx-%lx-%lx.tmp", static_cast<unsigned long>(process),
                 static_cast<unsigned long>(InterlockedIncrement(&counter)),
                 static_cast<unsigned long>(GetTickCount()));
        tempPath = target + unique;
        DWORD error = WriteCreated(tempPath, CREATE_NEW, bytes);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            if (error != 0) tempPath.clear();
            return error;
        }
    }
    tempPath.clear();
    return ERROR_FILE_EXISTS;
}

DWORD ReplaceFileContents(const std::wstring& target, std::string_view bytes) {
    if (IsReadOnlyFile(target)) return ERROR_ACCESS_DENIED;
    std::wstring tempPath;
    DWORD error = WriteTemporaryBeside(target, bytes, tempPath);
    if (error != 0) return error;
    return CommitReplacement(tempPath, target);
}

DWORD ReadWholeFile(const std::wstring& path, std::string& bytes, unsigned long long maxBytes) {
    bytes.clear();
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return ERROR_FILE_TOO_LARGE;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1u << 20));
        if (!ReadFile(file.Get(), bytes.data() + offset, want, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        offset += got;
    }
    bytes.resize(offset);
    return 0;
}

std::wstring DescribeWin32Error(DWORD error) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring result;
    if (n > 0 && text) {
        result.assign(text, n);
        LocalFree(text);
        while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' ||
                                   result.back() == L' ' || result.back() == L'.')) {
            result.pop_back();
        }
    }
    if (result.empty()) result = L"error " + std::to_wstring(error);
    return result;
}

}  // namespace kw
