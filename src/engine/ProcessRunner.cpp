#include "engine/ProcessRunner.h"

#include "engine/LogText.h"
#include "win/Handles.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace kw {

namespace {

std::atomic<bool> gEventFails{false};
std::atomic<bool> gThreadFails{false};

// Posts the text of an open log file beyond readPosition: one piece, or everything.
void PostFromFile(HANDLE file, std::uint32_t& readPosition, HWND window, HWND listBox, bool everything) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= readPosition) return;
    LARGE_INTEGER offset{};
    offset.QuadPart = readPosition;
    if (readPosition > 0 && !SetFilePointerEx(file, offset, nullptr, FILE_BEGIN)) return;
    char piece[kLogPieceBytes];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece, kLogPieceBytes, &got, nullptr) || got == 0) return;
        // A narrow LogText ends at its first zero byte: a stray one in the log would silently cut
        // off the rest of the piece, so it is shown as a blank.
        std::replace(piece, piece + got, '\0', ' ');
        bool delivered = PostLogText(piece, got, false, window, listBox);
        readPosition += got;
        if (!everything) return;
        // Nobody is left to read the rest: the window is gone.
        if (!delivered && !IsWindow(window)) return;
    }
}

// The builder may hold its log open for writing, so while it runs only a copy is ever opened.
void ReadThroughSideCopy(const std::wstring& logPath, std::uint32_t& readPosition, HWND window, HWND listBox,
                         bool everything) {
    const std::wstring sideCopy = logPath + L"-2";
    if (!CopyFileW(logPath.c_str(), sideCopy.c_str(), FALSE)) return;
    {
        FileHandle copy(CreateFileW(sideCopy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (copy.Valid()) PostFromFile(copy.Get(), readPosition, window, listBox, everything);
    }
    DeleteFileW(sideCopy.c_str());
}

}  // namespace

void ReadNewLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window, HWND listBox) {
    ReadThroughSideCopy(logPath, readPosition, window, listBox, false);
}

void ReadRemainingLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window,
                          HWND listBox) {
    // The builder has ended, so the log is read where it is; the copy (a few milliseconds a child
    // under Wine) is only needed when something else still holds the log without sharing it.
    FileHandle log(CreateFileW(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (log.Valid()) {
        PostFromFile(log.Get(), readPosition, window, listBox, true);
        return;
    }
    ReadThroughSideCopy(logPath, readPosition, window, listBox, true);
}

unsigned __stdcall RunProcess(void* argument) {
    auto* request = static_cast<ProcessRunRequest*>(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const wchar_t* folder = request->workingFolder.empty() ? nullptr : request->workingFolder.c_str();
    if (!CreateProcessW(nullptr, request->commandLine, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED | NORMAL_PRIORITY_CLASS, nullptr, folder, &startup,
                        &process)) {
        if (request->done) SetEvent(request->done);
        return 0;
    }
    KernelHandle processHandle(process.hProcess);
    // Thread ids come round again, and a log of the same name may be left from a run that was
    // cut short. It goes before the builder starts, so that only what this builder writes is
    // shown, even when it ends without writing a log at all.
    DeleteFileW(request->logPath.c_str());
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) TerminateProcess(processHandle.Get(), 1);
    CloseHandle(process.hThread);

    // Waiting on the handle rather than testing for STILL_ACTIVE: a child whose exit code happens
    // to be 259 still ends the wait, and the run goes on the moment the child has ended.
    std::uint32_t readPosition = 0;
    while (WaitForSingleObject(processHandle.Get(), kLogPollIntervalMs) == WAIT_TIMEOUT) {
        ReadNewLogText(request->logPath, readPosition, request->window, request->listBox);
    }
    processHandle.Reset();

    ReadRemainingLogText(request->logPath, readPosition, request->window, request->listBox);
    DeleteFileW(request->logPath.c_str());

    // The request belongs to the waiting step from here on.
    if (request->done) SetEvent(request->done);
    return 0;
}

void RunBuilder(std::wstring commandLine, const std::wstring& workingFolder, const std::wstring& logPath,
                HWND window, HWND listBox) {
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    ProcessRunRequest request;
    request.commandLine = writable.data();
    request.workingFolder = workingFolder;
    request.logPath = logPath;
    request.window = window;
    request.listBox = listBox;

    KernelHandle done(gEventFails ? nullptr : CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done.Valid()) {
        // Nothing to wait on: run the child here instead of waiting for ever.
        RunProcess(&request);
        return;
    }
    request.done = done.Get();

    uintptr_t thread = gThreadFails ? 0 : _beginthreadex(nullptr, 0, RunProcess, &request, 0, nullptr);
    if (thread == 0) {
        RunProcess(&request);
        return;
    }
    WaitForSingleObject(done.Get(), INFINITE);
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}

void SetRunnerFaults(const RunnerFaults& faults) {
    gEventFails = faults.eventFails;
    gThreadFails = faults.threadFails;
}

}  // namespace kw
