// Running one builder: a ProcessRunner thread starts the child inside the run's job object (so
// the builder's own children end with a stop), watches it until it has ended and meanwhile copies what
// the builder adds to its log file into the event log, as narrow LogText pieces. What the log
// says, the exit code and how the child ended make the BuilderResult.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunOutcome.h"
#include "win/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

inline constexpr DWORD kLogPollIntervalMs = 256;
inline constexpr std::uint32_t kLogPieceBytes = 2048;
// The system can't make a longer path the current folder, and a longer command line is refused.
inline constexpr size_t kMaxWorkingFolderChars = 258;
inline constexpr size_t kMaxCommandLineChars = 32766;

// Filled by the calling step on its own stack; valid until the runner signals done.
struct ProcessRunRequest {
    HANDLE done = nullptr;           // manual-reset event, signalled as the runner's last act
    wchar_t* commandLine = nullptr;  // writable: CreateProcessW may write into it
    std::wstring workingFolder;
    std::wstring logPath;            // unique to this runner while it runs
    const RunContext* run = nullptr;
    BuilderResult result;
};

// A job object that ends every process in it when its last handle closes: should this process
// die outright, no builder outlives it. Invalid when the system refuses one.
KernelHandle MakeKillOnCloseJob();

// Posts text of the run to its window like PostLogText, but a window that can't take it yet (its
// queue or the in-flight bound is full) is waited for: the run's text is held back, never dropped.
// False only when nobody will take it: the window is gone or the run is stopped.
bool PostRunText(const RunContext& run, const void* text, std::uint32_t byteLength, bool isWide);
bool PostRunLine(const RunContext& run, std::wstring_view line);

// Thread procedure of a ProcessRunner; argument: the ProcessRunRequest. A child that can't be
// started (refused for too long a folder or command line, or failed) posts nothing and deletes
// no file. Otherwise the child goes into the run's job object, a log left under the same name
// goes before the child runs; the runner waits on the process handle, reading the log at each
// 256 ms timeout, ends the builder on a stop of the run or after the timeout, posts all log text
// not yet posted (unless stopped), deletes the log file and its side copy, and signals done.
// Never throws: a failure is noted in the result.
unsigned __stdcall RunProcess(void* request);

// Posts at most one piece (2048 bytes) of log text beyond readPosition, read from a side copy of
// the log ("<log>-2") because the builder may hold the log open. A missing or unreadable log posts
// nothing; the position then keeps its value. A piece the window can't take yet is waited for,
// never skipped: the position only moves past text that was posted. What is posted is fed to
// scanner, if given.
void ReadNewLogText(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                    BuildLogScanner* scanner = nullptr);

// Posts everything beyond readPosition, piece by piece. For use once the builder has ended: the
// log is then read where it is, through the side copy only if it can't be opened. Gives up only
// when the window is gone or the run is stopped.
void ReadRemainingLogText(const std::wstring& logPath, std::uint32_t& readPosition, const RunContext& run,
                          BuildLogScanner* scanner = nullptr);

// What a build step does per child: event, runner thread, wait until the child has ended (or the
// runner is gone), then an end-of-log mark and a line for what the log can't say (not started,
// crashed, timed out, non-zero exit without errors in the log). When the event or the thread
// cannot be made, the child is run on the calling thread instead, so the step never waits
// without end.
// Holds nothing of its own between calls, so several threads may each run a builder at once (each
// with its own log path).
BuilderResult RunBuilder(const RunContext& run, std::wstring commandLine, const std::wstring& workingFolder,
                         const std::wstring& logPath);

// The program a command line starts (its first argument, without quotes).
std::wstring ProgramOf(const std::wstring& commandLine);

}  // namespace kw
