// Text for the event log, handed from the worker threads to the window that shows it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace kw {

inline constexpr UINT WM_RUN_FINISHED = WM_USER + 5;
inline constexpr UINT WM_LOG_TEXT = WM_USER + 8;

// Payload of WM_LOG_TEXT (wParam). Both the record and its text are allocated with
// CoTaskMemAlloc by the poster and belong to the receiver once posted.
struct LogText {
    HWND listBox;
    std::uint8_t isWide;  // 1: UTF-16, 0: ANSI code page bytes
    void* text;           // followed by two zero bytes (wide) or one (narrow)
};

// At most this many LogText blocks are posted to one window and not yet taken by its LogReceiver
// (8 MB of builder log in 2 KB pieces). Beyond it PostLogText waits, as it does for a full queue.
inline constexpr long kMaxLogTextInFlight = 4096;

// Copies byteLength bytes of text into a new LogText and posts it to window. Returns false when
// it could not be delivered; nothing is leaked in that case.
bool PostLogText(const void* text, std::uint32_t byteLength, bool isWide, HWND window, HWND listBox);

// LogText blocks posted to window and not yet taken by its LogReceiver.
long LogTextInFlight(HWND window);

// One wide line composed by the system.
bool PostLogLine(std::wstring_view line, HWND window, HWND listBox);

// Posts WM_RUN_FINISHED, retrying like PostLogText while the window's queue is full.
bool PostRunFinished(HWND window);

// A narrow LogText without text: the builder that wrote the pieces before it has ended, so an
// unfinished last line of its log is complete now.
bool PostLogEnd(HWND window, HWND listBox);

}  // namespace kw
