// Running one builder: a ProcessRunner thread starts the child, watches it until it has ended and
// meanwhile copies what the builder adds to its log file into the event log, as narrow LogText
// pieces. The builder's exit code is not evaluated; its log text is the only result.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kw {

inline constexpr DWORD kLogPollIntervalMs = 256;
inline constexpr std::uint32_t kLogPieceBytes = 2048;

// Filled by the calling step on its own stack; valid until the runner signals done.
struct ProcessRunRequest {
    HANDLE done = nullptr;           // manual-reset event, signalled as the runner's last act
    wchar_t* commandLine = nullptr;  // writable: CreateProcessW may write into it
    std::wstring workingFolder;
    std::wstring logPath;
    HWND window = nullptr;
    HWND listBox = nullptr;
};

// Thread procedure of a ProcessRunner; argument: the ProcessRunRequest. Starts the child; if that
// fails, signals done without posting anything or deleting any file. Otherwise removes a log left
// under the same name before the child runs, waits on the process handle, reading the log at each
// 256 ms timeout; once the child has ended, posts all log text not yet posted, deletes the log
// file, and signals done.
unsigned __stdcall RunProcess(void* request);

// Posts at most one piece (2048 bytes) of log text beyond readPosition, read from a side copy of
// the log ("<log>-2") because the builder may hold the log open. A missing or unreadable log posts
// nothing; the position then keeps its value.
void ReadNewLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window, HWND listBox);

// Posts everything beyond readPosition, piece by piece. For use once the builder has ended: the
// log is then read where it is, through the side copy only if it can't be opened.
void ReadRemainingLogText(const std::wstring& logPath, std::uint32_t& readPosition, HWND window,
                          HWND listBox);

// What a build step does per child: event, runner thread, wait until the child has ended. When
// the event or the thread cannot be made, the child is run on the calling thread instead, so the
// step never waits without end.
void RunBuilder(std::wstring commandLine, const std::wstring& workingFolder, const std::wstring& logPath,
                HWND window, HWND listBox);

// Makes the next RunBuilder calls behave as if the event or the runner thread could not be made.
// For tests of those paths only.
struct RunnerFaults {
    bool eventFails = false;
    bool threadFails = false;
};
void SetRunnerFaults(const RunnerFaults& faults);

}  // namespace kw
