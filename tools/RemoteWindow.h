// Drives kilnworks.exe from outside, by control ids, as an automation tool would: for the
// end-to-end window test and for the screenshot program.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

namespace kwremote {

// Dispatches everything queued for this thread, keys through the dialog manager of dialog.
void Pump(HWND dialog = nullptr);

// Handles this thread's messages until done() holds; false when it still doesn't after the limit.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 60000);

// Starts the program on the package, hands its main window to drive() once it is shown, then
// closes it with the close box. True when all that went through and the program ended with 0.
bool DriveProgram(const std::wstring& program, const std::wstring& package, const std::function<void(HWND)>& drive);

// A whole run in another program's window: ">>", the check boxes in order, Start, and (with wait)
// Start enabled again.
bool RunRemotely(HWND window, std::initializer_list<int> checks, bool wait = true);

}  // namespace kwremote
