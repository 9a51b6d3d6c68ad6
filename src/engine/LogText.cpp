#include "engine/LogText.h"

#include <objbase.h>

#include <atomic>
#include <cstring>

namespace kw {

namespace {

// A builder writes its log far faster than a window shows it. Windows stops a queue at 10,000
// messages, but not every system has such a quota, and without a bound of our own a flooded log
// would pile up in memory at the receiver's door.
std::atomic<long> gInFlight{0};

// A full message queue is temporary; a destroyed window is not. Retry the former for up to half a
// minute, so a window that is busy for a while loses no text, while one that never drains its
// queue again can't stall the run for ever.
constexpr int kPostRetries = 3000;
constexpr DWORD kPostRetryDelayMs = 10;

bool PostWithRetry(HWND window, UINT message, WPARAM wParam) {
    // PostMessage to no window posts to the calling thread, which never reads its queue.
    if (!window) return false;
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
    if (!window) return false;
    // Wait for the receivers to catch up, for as long as a full queue is waited for.
    for (int attempt = 0; gInFlight.load() >= kMaxLogTextInFlight; ++attempt) {
        if (attempt >= kPostRetries || !IsWindow(window)) return false;
        Sleep(kPostRetryDelayMs);
    }
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
    ++gInFlight;

    if (PostWithRetry(window, WM_LOG_TEXT, reinterpret_cast<WPARAM>(logText))) return true;
    FreeLogText(logText);
    return false;
}

bool PostRunFinished(HWND window) { return PostWithRetry(window, WM_RUN_FINISHED, 0); }

bool PostLogLine(std::wstring_view line, HWND window, HWND listBox) {
    return PostLogText(line.data(), static_cast<std::uint32_t>(line.size() * sizeof(wchar_t)), true, window,
                       listBox);
}

long LogTextInFlight() { return gInFlight.load(); }

void FreeLogText(LogText* logText) {
    if (!logText) return;
    // Never below zero, should a receiver free a record it made itself.
    long inFlight = gInFlight.load();
    while (inFlight > 0 && !gInFlight.compare_exchange_weak(inFlight, inFlight - 1)) {
    }
    CoTaskMemFree(logText->text);
    CoTaskMemFree(logText);
}

}  // namespace kw
