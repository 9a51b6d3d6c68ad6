// Shared parts of the stand-in builders: the settings file that tells them how to behave, the log
// they write progressively, and the ways they can misbehave. They stand in for the Visual C++ 6
// IDE and the Visual Basic 6 compiler in tests, the demo and the benchmarks.
//
// The settings file "standin.ini" lies in the project's folder; one "key=value" a line:
//   result=ok|fail|crash   what the build comes to (default ok)
//   exitcode=N             exit code instead of 0 (ok) or 1 (fail), e.g. 259
//   hang=MS                stay alive this long before the closing lines
//   delay=MS               pause after every log line
//   flood=BYTES            extra log lines of about this many bytes in all (a large log)
//   floodms=MS             spread the extra lines over this long
//   exactbytes=N           the whole log is exactly N bytes, written at once, nothing else
//   mirror=NAME            write every log byte to <project folder>\NAME as well
//   journal=PATH           append the command line as received, one line per run
//   text=NAME              write the bytes of <project folder>\NAME into the log after the sources
//   spawn=NAME             start a child of its own that sleeps until killed; its process id
//                          goes into <project folder>\NAME (a builder's process tree)
//   duration=MS            the build takes at least this long from its start, slept (not spun)
//                          before the closing lines, so many builders at once cost no CPU
//   times=PATH             append "start <name> <us>" when the builder starts and "end <name> <us>"
//                          just before it ends (<us>: the system-wide performance counter in
//                          microseconds); PATH relative to the project folder unless absolute
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct Settings {
    std::string result = "ok";
    long long exitCode = -1;  // -1: 0 for ok, 1 for fail
    DWORD hangMs = 0;
    DWORD delayMs = 0;
    std::uint64_t floodBytes = 0;
    DWORD floodMs = 0;
    long long exactBytes = -1;
    std::wstring mirror;
    std::wstring journal;
    std::wstring spawn;
    std::wstring text;
    DWORD durationMs = 0;
    std::wstring times;

    bool Fails() const { return result == "fail"; }
    bool Crashes() const { return result == "crash"; }
    int ExitCode(bool failed) const;
};

inline constexpr wchar_t kSettingsFile[] = L"standin.ini";

// Reads <folder>\standin.ini; a missing file gives the defaults.
Settings ReadSettings(const std::wstring& folder);

// The folder part of a path (no trailing separator) and the name part.
std::wstring FolderOf(const std::wstring& path);
std::wstring NameOf(const std::wstring& path);
std::string Ansi(std::wstring_view text);
std::wstring FromAnsi(const std::string& text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// Whole file as bytes; false when it can't be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Lines of a text file, without their line ends.
std::vector<std::string> SplitLines(const std::string& bytes);

// Appends the process's command line to the journal, if one is configured, and starts the
// child of spawn=.
void WriteJournal(const Settings& settings, const std::wstring& projectFolder);

// True (after sleeping for ever) when this process is a spawned child: the first argument is
// --sleep.
bool RunAsSleeper(int argc, wchar_t** argv);

// The builder's log, kept open (shared for reading) while the builder runs, as real builders do.
class Log {
public:
    Log(const std::wstring& path, const Settings& settings, const std::wstring& projectFolder);
    ~Log();
    bool Ok() const { return file_ != INVALID_HANDLE_VALUE; }
    void Write(std::string_view bytes);
    void Line(std::string_view text);  // text + CR LF, then the configured delay
    // The extra lines of flood= over floodms=, each carrying its number and the moment it was
    // written (QueryPerformanceCounter), so a reader can measure how late it arrived.
    void Flood();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mirror_ = INVALID_HANDLE_VALUE;
    const Settings& settings_;
    std::string text_;
};

// exactbytes=N: the whole log in one write, then the hang, then the end. Returns true if it ran.
bool RunExactBytes(const std::wstring& logPath, const Settings& settings, const std::wstring& projectFolder,
                   int& exitCode);

// The builder's own account of when it ran (times=) and how long it takes (duration=). Made first
// thing in wmain; the end line is written when it is destroyed, that is as the builder returns.
class Timeline {
public:
    Timeline(const Settings& settings, const std::wstring& projectFolder, const std::wstring& projectFile);
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;
    // Sleeps whatever of duration= is left.
    void SleepOut() const;

private:
    void Record(const char* what) const;
    const Settings& settings_;
    std::wstring path_;
    std::string name_;
    ULONGLONG startTick_;
};

// An access violation that nobody handles: the process ends with 0xC0000005 and no debugger.
[[noreturn]] void Crash();

// Creates (with its folder) or deletes a build output.
void MakeOutput(const std::wstring& path);
void DeleteOutput(const std::wstring& path);

}  // namespace standin
