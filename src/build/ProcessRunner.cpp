#include "build/ProcessRunner.h"

#include "build/LogText.h"
#include "win/Handles.h"

#include <process.h>

#include <atomic>
#include <vector>

namespace kw {

namespace {

std::atomic<bool> gEventFails{false};
std::atomic<bool> gThreadFails{false};

// How many pieces one read may post: one while the child runs, all after it has ended.
enum class ReadAmount { OnePiece, Everything };

void ReadLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window, HWND listBox,
                 ReadAmount amount) {
    // The builder may hold its log open for writing, so only a copy of it is ever opened.
    const std::wstring sideCopy = logPath + L"-2";
    if (!CopyFileW(logPath.c_str(), sideCopy.c_str(), FALSE)) return;
    {
        FileHandle copy(CreateFileW(sideCopy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (copy.Valid() && GetFileSizeEx(copy.Get(), &size) && size.QuadPart > readPosition) {
            LARGE_INTEGER offset{};
            offset.QuadPart = readPosition;
            if (readPosition == 0 || SetFilePointerEx(copy.Get(), offset, nullptr, FILE_BEGIN)) {
                char piece[kLogPieceBytes];
                for (;;) {
                    DWORD got = 0;
                    if (!ReadFile(copy.Get(), piece, kLogPieceBytes, &got, nullptr) || got == 0) break;
                    bool delivered = PostLogText(piece, got, false, window, listBox);
                    readPosition += got;
                    if (amount == ReadAmount::OnePiece) break;
                    // Nobody left to read the rest: the window is gone.
                    if (!delivered && !IsWindow(window)) break;
                }
            }
        }
    }
    DeleteFileW(sideCopy.c_str());
}

}  // namespace

void ReadNewLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window, HWND listBox) {
    ReadLogText(logPath, readPosition, window, listBox, ReadAmount::OnePiece);
}

void ReadRemainingLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window,
                          HWND listBox) {
    ReadLogText(logPath, readPosition, window, listBox, ReadAmount::Everything);
}

unsigned __stdcall RunProcess(void* argument) {
    auto* request = static_cast<ProcessRunRequest*>(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const wchar_t* folder = request->workingFolder.empty() ? nullptr : request->workingFolder.c_str();
    if (!CreateProcessW(nullptr, request->commandLine, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, folder, &startup, &process)) {
        if (request->done) SetEvent(request->done);
        return 0;
    }
    KernelHandle processHandle(process.hProcess);
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
