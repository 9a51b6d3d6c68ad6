#include "build/LogText.h"

#include <objbase.h>

#include <cstring>

namespace kw {

namespace {

// A full message queue is temporary; a destroyed window is not. Retry the former for up to half a
// minute, so a window that is busy for a while loses no text, while one that never drains its
// queue again can't stall the run for ever.
constexpr int kPostRetries = 3000;
constexpr DWORD kPostRetryDelayMs = 10;

bool PostWithRetry(HWND window, UINT message, WPARAM wParam) {
    for (int attempt = 0; attempt < kPostRetries; ++attempt) {
        if (PostMessageW(window, message, wParam, 0)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_NOT_ENOUGH_QUOTA || !IsWindow(window)) break;
        Sleep(kPostRetryDelayMs);
    }
    return false;
}

}  // namespace

bool PostLogText(const void* text, std::uint32_t byteLength, bool isWide, HWND window, HWND listBox) {
    auto* logText = static_cast<LogText*>(CoTaskMemAlloc(sizeof(LogText)));
    if (!logText) return false;
    const size_t terminator = isWide ? 2 : 1;
    auto* copy = static_cast<char*>(CoTaskMemAlloc(static_cast<size_t>(byteLength) + terminator));
    if (!copy) {
        CoTaskMemFree(logText);
        return false;
    }
    if (byteLength) std::memcpy(copy, text, byteLength);
    std::memset(copy + byteLength, 0, terminator);
    logText->listBox = listBox;
    logText->isWide = isWide ? 1 : 0;
    logText->text = copy;

    if (PostWithRetry(window, WM_LOG_TEXT, reinterpret_cast<WPARAM>(logText))) return true;
    FreeLogText(logText);
    return false;
}

bool PostRunFinished(HWND window) { return PostWithRetry(window, WM_RUN_FINISHED, 0); }

bool PostLogLine(std::wstring_view line, HWND window, HWND listBox) {
    return PostLogText(line.data(), static_cast<std::uint32_t>(line.size() * sizeof(wchar_t)), true, window,
                       listBox);
}

void FreeLogText(LogText* logText) {
    if (!logText) return;
    CoTaskMemFree(logText->text);
    CoTaskMemFree(logText);
}

}  // namespace kw
