// Helpers shared by the test programs: scratch folders, whole-file access and the message pump.
#pragma once

#include <windows.h>

#include "RemoteWindow.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kwtest {

// A fresh empty folder for one test, removed with everything in it on destruction.
class ScratchDir {
public:
    explicit ScratchDir(std::wstring_view name = L"t");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Path() + "\" + name
    std::wstring File(std::wstring_view name) const;

private:
    std::wstring path_;
};

// Removes a folder with everything in it, read-only files too.
void RemoveTree(const std::wstring& folder);

void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);  // empty when missing
bool FileExists(const std::wstring& path);
// Names of the entries in a folder (no "." and ".."), in name order, separated by blanks.
std::wstring ListFolder(const std::wstring& folder);

std::string Narrow(const std::wstring& text);  // UTF-8, for messages

// Dispatches everything queued for this thread, keys through the dialog manager of dialog.
using kwremote::Pump;

// The folder of the running test program (the build folder).
std::wstring ProgramFolder();

// Runs a command line to its end with standard output and error captured (as bytes) and the
// given extra environment lines ("NAME=value"; "NAME=" removes NAME), calling during(process id)
// while it runs. The exit code is -1 when the program could not be started.
struct Captured {
    int exitCode = -1;
    std::string out;
    std::string err;
};
Captured RunCaptured(const std::wstring& commandLine, const std::vector<std::wstring>& environment = {},
                     const std::function<void(DWORD processId)>& during = nullptr);

}  // namespace kwtest
