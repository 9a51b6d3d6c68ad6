#include "engine/ProcessRunner.h"

#include "engine/LogText.h"
#include "win/AtomicFile.h"
#include "win/Handles.h"
#include "win/Text.h"

#include <algorithm>
#include <cwchar>
#include <exception>
#include <vector>

namespace kw {

namespace {

// Posts the text of an open log file beyond readPosition: one piece, or everything.
void PostFromFile(HANDLE file, std::uint32_t& readPosition, const RunContext& run, bool everything,
                  BuildLogScanner* scanner) {
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
        // Only text that was posted counts as read; what couldn't be is read again next time.
        if (!PostRunText(run, piece, got, false)) return;
        if (scanner) scanner->Feed(std::string_view(piece, got));
        readPosition += got;
        if (!everything) return;
    }
}

// The builder may hold its log open for writing, so while it runs only a copy is ever opened.
// True when a copy may have been left behind (its deletion failed).
bool ReadThroughSideCopy(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                         bool everything, BuildLogScanner* scanner) {
    const std::wstring sideCopy = logPath + L"-2";
    if (!CopyFileW(logPath.c_str(), sideCopy.c_str(), FALSE)) {
        // No log yet: no copy was begun either.
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    {
        FileHandle copy(CreateFileW(sideCopy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (copy.Valid()) PostFromFile(copy.Get(), readPosition, run, everything, scanner);
    }
    return !DeleteFileW(sideCopy.c_str());
}

// Deleting a file that isn't there costs as much as deleting one: the side copy is only looked
// for when one may be left.
void DeleteLogFiles(const std::wstring& logPath, bool sideCopyLeft = true) {
    DeleteFileW(logPath.c_str());
    if (sideCopyLeft) DeleteFileW((logPath + L"-2").c_str());
}

bool ReadRemaining(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                   BuildLogScanner* scanner) {
    // The builder has ended, so the log is read where it is; the copy (a few milliseconds a child
    // under Wine) is only needed when something else still holds the log without sharing it.
    FileHandle log(CreateFileW(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (log.Valid()) {
        PostFromFile(log.Get(), readPosition, run, true, scanner);
        return false;
    }
    return ReadThroughSideCopy(logPath, readPosition, run, true, scanner);
}

void RunChild(ProcessRunRequest& request) {
    BuilderResult& result = request.result;
    const RunContext& run = *request.run;
    const size_t commandChars = request.commandLine ? std::wcslen(request.commandLine) : 0;
    if (request.workingFolder.size() > kMaxWorkingFolderChars) {
        result.startError = ERROR_FILENAME_EXCED_RANGE;
        result.startProblem = FormatW(L"its working folder is %u characters long, more than the system allows (%u)",
                                      static_cast<unsigned>(request.workingFolder.size()),
                                      static_cast<unsigned>(kMaxWorkingFolderChars));
        return;
    }
    if (commandChars > kMaxCommandLineChars) {
        result.startError = ERROR_FILENAME_EXCED_RANGE;
        result.startProblem = FormatW(L"its command line is %u characters long, more than the system allows (%u)",
                                      static_cast<unsigned>(commandChars), static_cast<unsigned>(kMaxCommandLineChars));
        return;
    }
    if (run.StopRequested()) {
        result.stopped = true;
        return;
    }
    PROCESS_INFORMATION process{};
    const wchar_t* folder = request.workingFolder.empty() ? nullptr : request.workingFolder.c_str();
    // Suspended until it is in the run's job, so nothing it starts can escape a stop.
    const DWORD flags = CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS | (run.jobObject ? CREATE_SUSPENDED : 0);
    if (!run.Launcher().StartProcess(request.commandLine, folder, flags, process)) {
        result.startError = GetLastError();
        result.startProblem = DescribeWin32Error(result.startError);
        return;
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle mainThread(process.hThread);
    // Without the job (the system refused it) a stop ends the builder alone.
    const bool inJob = run.jobObject && AssignProcessToJobObject(run.jobObject, processHandle.Get());
    // Builders run one at a time, so the run's job holds this builder's tree and nothing else.
    auto endBuilder = [&] {
        if (inJob) TerminateJobObject(run.jobObject, ERROR_CANCELLED);
        else TerminateProcess(processHandle.Get(), ERROR_CANCELLED);
        WaitForSingleObject(processHandle.Get(), 10000);
    };
    result.started = true;
    // Thread ids come round again, and a log of the same name may be left from a run that was
    // cut short. It goes before the builder starts, so that only what this builder writes is
    // shown, even when it ends without writing a log at all.
    DeleteFileW(request.logPath.c_str());
    if (run.jobObject && ResumeThread(mainThread.Get()) == static_cast<DWORD>(-1)) endBuilder();
    mainThread.Reset();

    // Waiting on the handle rather than testing for STILL_ACTIVE: a child whose exit code happens
    // to be 259 still ends the wait, and the run goes on the moment the child has ended.
    std::uint32_t readPosition = 0;
    bool sideCopyLeft = false;
    const HANDLE waits[] = {processHandle.Get(), run.stopEvent};
    const DWORD startTick = GetTickCount();
    for (;;) {
        DWORD woke = WaitForMultipleObjects(waits[1] ? 2 : 1, waits, FALSE, kLogPollIntervalMs);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_OBJECT_0 + 1) {
            result.stopped = true;
            endBuilder();
            break;
        }
        if (woke == WAIT_FAILED) {
            endBuilder();
            break;
        }
        if (run.builderTimeoutMs && GetTickCount() - startTick >= run.builderTimeoutMs) {
            result.timedOut = true;
            endBuilder();
            break;
        }
        sideCopyLeft |= ReadThroughSideCopy(request.logPath, readPosition, run, false, &result.log);
    }
    GetExitCodeProcess(processHandle.Get(), &result.exitCode);
    processHandle.Reset();
    // A stop ends the job itself: the builder may be gone before the wait sees the stop event.
    if (!result.stopped && result.exitCode == ERROR_CANCELLED && run.StopRequested()) result.stopped = true;

    if (!result.stopped) sideCopyLeft |= ReadRemaining(request.logPath, readPosition, run, &result.log);
    result.log.Finish();
    DeleteLogFiles(request.logPath, sideCopyLeft);
}

}  // namespace

bool PostRunText(const RunContext& run, const void* text, std::uint32_t byteLength, bool isWide) {
    for (;;) {
        if (PostLogText(text, byteLength, isWide, run.window, run.listBox)) return true;
        if (!run.window || !IsWindow(run.window) || run.StopRequested()) return false;
        if (run.stopEvent) {
            WaitForSingleObject(run.stopEvent, 50);
        } else {
            Sleep(50);
        }
    }
}

bool PostRunLine(const RunContext& run, std::wstring_view line) {
    return PostRunText(run, line.data(), static_cast<std::uint32_t>(line.size() * sizeof(wchar_t)), true);
}

KernelHandle MakeKillOnCloseJob() {
    KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job.Valid()) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) job.Reset();
    return job;
}

void ReadNewLogText(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                    BuildLogScanner* scanner) {
    ReadThroughSideCopy(logPath, readPosition, run, false, scanner);
}

void ReadRemainingLogText(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                          BuildLogScanner* scanner) {
    ReadRemaining(logPath, readPosition, run, scanner);
}

unsigned __stdcall RunProcess(void* argument) {
    auto* request = static_cast<ProcessRunRequest*>(argument);
    // Nothing may leave this thread: the waiting step would never hear of it.
    try {
        RunChild(*request);
    } catch (const std::exception& failure) {
        request->result.runnerFailed = true;
        request->result.startProblem = FromUtf8(failure.what());
    } catch (...) {
        request->result.runnerFailed = true;
        request->result.startProblem = L"unknown failure";
    }
    if (request->result.runnerFailed) DeleteLogFiles(request->logPath);
    // The request belongs to the waiting step from here on.
    if (request->done) SetEvent(request->done);
    return 0;
}

std::wstring ProgramOf(const std::wstring& commandLine) {
    if (!commandLine.empty() && commandLine[0] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        return commandLine.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    return commandLine.substr(0, commandLine.find(L' '));
}

namespace {

// A line for what the builder's log can't tell.
void PostOutcomeLine(const BuilderResult& result, const std::wstring& program, const RunContext& run) {
    const DWORD timeoutMs = run.builderTimeoutMs;
    std::wstring line;
    if (result.runnerFailed) {
        line = L"The run of " + program + L" failed: " + result.startProblem + L".";
    } else if (!result.started && !result.stopped) {
        line = L"Could not start " + program + L": " + result.startProblem;
        if (result.startError) line += FormatW(L" (error %lu)", static_cast<unsigned long>(result.startError));
        line += L".";
    } else if (result.stopped) {
        return;
    } else if (result.timedOut) {
        line = FormatW(L"%s timed out after %lu s and was stopped.", program.c_str(),
                       static_cast<unsigned long>(timeoutMs / 1000));
    } else if (IsExceptionCode(result.exitCode)) {
        line = FormatW(L"%s crashed (exception 0x%08lX).", program.c_str(), static_cast<unsigned long>(result.exitCode));
    } else if (result.exitCode != 0 && result.log.errors == 0 && !result.log.saidFailed) {
        line = FormatW(L"%s ended with exit code %lu.", program.c_str(), static_cast<unsigned long>(result.exitCode));
    }
    if (!line.empty()) PostRunLine(run, line);
}

}  // namespace

BuilderResult RunBuilder(const RunContext& run, std::wstring commandLine, const std::wstring& workingFolder,
                         const std::wstring& logPath) {
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    ProcessRunRequest request;
    request.commandLine = writable.data();
    request.workingFolder = workingFolder;
    request.logPath = logPath;
    request.run = &run;

    ProcessLauncher& launcher = run.Launcher();
    KernelHandle done(launcher.CreateDoneEvent());
    KernelHandle thread;
    if (done.Valid()) {
        request.done = done.Get();
        thread.Reset(launcher.StartRunnerThread(RunProcess, &request));
    }
    if (!thread.Valid()) {
        // Nothing to wait on: run the child here instead of waiting for ever.
        RunProcess(&request);
    } else {
        // A runner thread that ends without signalling can no longer report.
        const HANDLE waits[] = {done.Get(), thread.Get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 &&
            WaitForSingleObject(done.Get(), 0) != WAIT_OBJECT_0) {
            request.result.runnerFailed = true;
            request.result.startProblem = L"its runner thread ended without a word";
            DeleteLogFiles(logPath);
        }
    }
    // Whatever the builder left unfinished in its log is a line of its own now.
    if (request.result.started) PostRunText(run, "", 0, false);
    PostOutcomeLine(request.result, ProgramOf(commandLine), run);
    return request.result;
}

}  // namespace kw
